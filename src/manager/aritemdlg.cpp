#include "manager/aritemdlg.h"

#include <commdlg.h>

#include <vector>

#include "common/PathText.h"
#include "res/resource.h"
#include "ui/Application.h"
#include "ui/Gdi.h"

namespace {

constexpr int kClientWidth = 280, kClientHeight = 110, kLeft = 375, kTop = 254;
const char kFilter[] = "Executable files\0*.exe;*.com;*.bat\0Shortcuts files\0*.lnk;*.pif\0All files\0*.*\0";

std::string TextOf(HWND window) {
  std::vector<char> text(GetWindowTextLengthA(window) + 1);
  GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  return text.data();
}

HWND MakeChild(const char* className, const char* text, DWORD style, DWORD exStyle, int x, int y, int w, int h,
               HWND parent) {
  return CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent, nullptr,
                         Application->Instance(), nullptr);
}

}  // namespace

TAutoRunItemDlg::TAutoRunItemDlg() {
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  WindowArgs args;
  args.parent = Application->Handle();
  args.style = style;
  args.exStyle = exStyle;
  args.caption = "AutoRun Item";
  args.left = kLeft;
  args.top = kTop;
  args.width = frame.right - frame.left;
  args.height = frame.bottom - frame.top;
  // The system's own brush: the window class outlives any one dialog.
  args.background = GetSysColorBrush(COLOR_INFOBK);
  CreateHandle("TAutoRunItemDlg", args);

  browseGlyphs_.LoadStrip(Application->Instance(), IDB_BROWSE, 16, RGB(128, 128, 0));
  ui::SpeedButtonArgs ok{Handle(), 104, 80, 80, 22, "OK", boldFont_.Get(), nullptr};
  sbOK.Create(ok);
  ui::SpeedButtonArgs cancel{Handle(), 192, 80, 80, 22, "Cancel", boldFont_.Get(), nullptr};
  sbCancel.Create(cancel);
  Label1 = MakeChild("STATIC", "Name:", 0, 0, 8, 24, 31, 13, Handle());
  edName = MakeChild("EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 48, 16, 225, 21, Handle());
  Label2 = MakeChild("STATIC", "Path:", 0, 0, 8, 48, 25, 13, Handle());
  edPath = MakeChild("EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 48, 40, 201, 21, Handle());
  ui::SpeedButtonArgs browse{Handle(), 252, 40, 20, 21, "", nullptr, browseGlyphs_.Get()};
  SpeedButton3.Create(browse);
  for (HWND child : {Label1, edName, Label2, edPath}) SendMessageA(child, WM_SETFONT, (WPARAM)font_.Get(), FALSE);
  // Labels size themselves to their text, as designed labels do: a font
  // wider than the designer's must not clip the colon.
  for (HWND label : {Label1, Label2}) {
    WindowDC dc(label);
    const std::string text = TextOf(label);
    SIZE size{};
    GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    RECT rect;
    GetWindowRect(label, &rect);
    if (size.cx > rect.right - rect.left)
      SetWindowPos(label, nullptr, 0, 0, size.cx, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  sbOK.OnClick = [this] { sbOKClick(); };
  sbCancel.OnClick = [this] { sbCancelClick(); };
  SpeedButton3.OnClick = [this] { SpeedButton3Click(); };
  OnKeyDown = [this](KeyEvent& event) { FormKeyDown(event); };
}

TAutoRunItemDlg::~TAutoRunItemDlg() { DestroyHandle(); }

std::string TAutoRunItemDlg::NameText() const { return TextOf(edName); }
std::string TAutoRunItemDlg::PathText() const { return TextOf(edPath); }
void TAutoRunItemDlg::SetNameText(const std::string& text) { SetWindowTextA(edName, text.c_str()); }
void TAutoRunItemDlg::SetPathText(const std::string& text) { SetWindowTextA(edPath, text.c_str()); }

void TAutoRunItemDlg::sbOKClick() { SetModalResult(mrOk); }
void TAutoRunItemDlg::sbCancelClick() { SetModalResult(mrCancel); }

void TAutoRunItemDlg::FormKeyDown(KeyEvent& event) {
  if (event.key == VK_RETURN) SetModalResult(mrOk);
  if (event.key == VK_ESCAPE) SetModalResult(mrCancel);
}

bool TAutoRunItemDlg::ExecuteOpenDialog(std::string& fileName) {
  std::vector<char> buffer(32768, '\0');
  OPENFILENAMEA open{};
  open.lStructSize = sizeof open;
  open.hwndOwner = Handle();
  open.lpstrFilter = kFilter;
  open.nFilterIndex = 1;
  open.lpstrFile = buffer.data();
  open.nMaxFile = static_cast<DWORD>(buffer.size());
  open.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER;
  if (!GetOpenFileNameA(&open)) return false;
  fileName = buffer.data();
  return true;
}

void TAutoRunItemDlg::SpeedButton3Click() {
  std::string fileName;
  if (!ExecuteOpenDialog(fileName)) return;
  SetPathText(fileName);
  SetNameText(FileNamePart(fileName));
}

LRESULT TAutoRunItemDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CTLCOLORSTATIC) {
    SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_INFOBK));
  }
  return TForm::HandleMessage(message, wParam, lParam);
}
