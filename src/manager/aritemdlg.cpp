#include "manager/aritemdlg.h"

#include <commdlg.h>

#include <vector>

#include "common/PathText.h"
#include "res/resource.h"
#include "ui/Dpi.h"
#include "ui/Application.h"

namespace {

constexpr int kClientWidth = 280, kClientHeight = 110, kLeft = 375, kTop = 254;
const wchar_t kFilter[] = L"Executable files\0*.exe;*.com;*.bat\0Shortcuts files\0*.lnk;*.pif\0All files\0*.*\0";

ui::CreateArgs At(HWND parent, int x, int y, int width, int height, const std::wstring& text = L"", HFONT font = nullptr,
                  DWORD style = 0, DWORD exStyle = 0) {
  ui::CreateArgs args;
  args.parent = parent;
  args.style = WS_CHILD | WS_VISIBLE | style;
  args.exStyle = exStyle;
  args.left = x;
  args.top = y;
  args.width = width;
  args.height = height;
  args.text = text;
  args.font = font;
  return args;
}

}  // namespace

// Laid out at 96 DPI and scaled to the DPI of the window it opens over.
TAutoRunItemDlg::TAutoRunItemDlg() {
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
  const UINT dpi = ui::DpiOf(ui::TheApplication->Handle());
  const auto S = [dpi](int pixels) { return ui::Scaled(pixels, dpi); };
  const auto at = [&](int x, int y, int width, int height, const std::wstring& text = L"", HFONT font = nullptr,
                      DWORD controlStyle = 0, DWORD controlExStyle = 0) {
    return At(Handle(), S(x), S(y), S(width), S(height), text, font, controlStyle, controlExStyle);
  };
  font_.Create(L"MS Sans Serif", S(-11));
  boldFont_.Create(L"MS Sans Serif", S(-11), true);
  RECT frame{0, 0, S(kClientWidth), S(kClientHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  ui::CreateArgs args;
  args.parent = ui::TheApplication->Handle();
  args.style = style;
  args.exStyle = exStyle;
  args.text = L"AutoRun Item";
  args.left = kLeft;
  args.top = kTop;
  args.width = frame.right - frame.left;
  args.height = frame.bottom - frame.top;
  // The system's own brush: the window class outlives any one dialog.
  args.background = GetSysColorBrush(COLOR_INFOBK);
  CreateOwn(L"TAutoRunItemDlg", args);

  const int pictures = ui::PictureSize(dpi);
  browseGlyphs_.LoadStrip(ui::TheApplication->Instance(),
                          pictures == 32 ? IDB_BROWSE_200 : pictures == 24 ? IDB_BROWSE_150 : IDB_BROWSE, pictures,
                          RGB(128, 128, 0));
  sbOK.Create(at(104, 80, 80, 22, L"OK", boldFont_.Get()));
  sbCancel.Create(at(192, 80, 80, 22, L"Cancel", boldFont_.Get()));
  lblName.Create(at(8, 24, 31, 13, L"Name:", font_.Get()));
  edName.Create(at(48, 16, 225, 21, L"", font_.Get(), WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE));
  lblPath.Create(at(8, 48, 25, 13, L"Path:", font_.Get()));
  edPath.Create(at(48, 40, 201, 21, L"", font_.Get(), WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE));
  sbBrowse.SetGlyphs(browseGlyphs_.Get());
  sbBrowse.Create(at(252, 40, 20, 21));
  // A font wider than the designer's must not clip the colon.
  lblName.FitText();
  lblPath.FitText();

  sbOK.OnClick = [this] { sbOKClick(); };
  sbCancel.OnClick = [this] { sbCancelClick(); };
  sbBrowse.OnClick = [this] { sbBrowseClick(); };
  OnKeyDown = [this](ui::KeyEvent& event) { FormKeyDown(event); };
}

TAutoRunItemDlg::~TAutoRunItemDlg() { Destroy(); }

void TAutoRunItemDlg::sbOKClick() { SetModalResult(ui::ModalResult::Ok); }
void TAutoRunItemDlg::sbCancelClick() { SetModalResult(ui::ModalResult::Cancel); }

void TAutoRunItemDlg::FormKeyDown(ui::KeyEvent& event) {
  if (event.key == VK_RETURN) SetModalResult(ui::ModalResult::Ok);
  if (event.key == VK_ESCAPE) SetModalResult(ui::ModalResult::Cancel);
}

bool TAutoRunItemDlg::ExecuteOpenDialog(std::wstring& fileName) {
  std::vector<wchar_t> buffer(32768, L'\0');
  OPENFILENAMEW open{};
  open.lStructSize = sizeof open;
  open.hwndOwner = Handle();
  open.lpstrFilter = kFilter;
  open.nFilterIndex = 1;
  open.lpstrFile = buffer.data();
  open.nMaxFile = static_cast<DWORD>(buffer.size());
  open.Flags = OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER;
  if (!GetOpenFileNameW(&open)) return false;
  fileName = buffer.data();
  return true;
}

void TAutoRunItemDlg::sbBrowseClick() {
  std::wstring fileName;
  if (!ExecuteOpenDialog(fileName)) return;
  SetPathText(fileName);
  SetNameText(FileNamePart(fileName));
}

LRESULT TAutoRunItemDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CTLCOLORSTATIC) {
    SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_INFOBK));
  }
  return Form::HandleMessage(message, wParam, lParam);
}
