#include "manager/velwin.h"

#include "res/resource.h"
#include "ui/ActivationContext.h"
#include "ui/Application.h"
#include "ui/ErrorBox.h"

namespace {
constexpr int kLeft = 122, kTop = 109, kWidth = 549, kHeight = 231;
constexpr int kTreeWidth = 161;

HICON LoadIconSized(int size) {
  return static_cast<HICON>(
      LoadImageA(ui::TheApplication->Instance(), MAKEINTRESOURCEA(IDI_VELMORA), IMAGE_ICON, size, size, 0));
}
}  // namespace

TVelmoraWin::TVelmoraWin() {
  icon_ = LoadIconSized(32);
  smallIcon_ = LoadIconSized(16);
  ui::CreateArgs args;
  // Top-level, owned by the application window (the host's during a run).
  args.parent = ui::TheApplication->Handle();
  // No WS_CLIPCHILDREN: the frame covers the whole client area and the
  // window erases nothing (below). Clipping here as well as in the frame
  // makes Wine erase the list at once, twice, whenever its scroll bars come
  // or go, instead of once when it paints.
  args.style = WS_OVERLAPPEDWINDOW;
  args.exStyle = WS_EX_CONTROLPARENT;
  args.text = L"Velmora";
  args.left = kLeft;
  args.top = kTop;
  args.width = kWidth;
  args.height = kHeight;
  CreateOwn(L"TVelmoraWin", args);
  SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

  Velmora = std::make_unique<TVelmora>(Handle());
  Velmora->SetTreeWidth(kTreeWidth);
  const RECT client = ClientRect();
  Velmora->SetBounds(0, 0, client.right, client.bottom);
  ui::SetFontRecursive(Handle(), font_.Get());

  OnClose = [this](ui::CloseEvent& event) { FormClose(event); };
  Velmora->lvAutoRun.OnKeyDown = [this](ui::KeyEvent& event) { VelmoralvAutoRunKeyDown(event); };
  Velmora->tbDelete.OnClick = [this] { VelmoratbDeleteClick(); };

  // An error while the frame loads is reported; the window still opens.
  ui::RunHandler([this] { FormCreate(); });
}

TVelmoraWin::~TVelmoraWin() {
  // The window and the frame's windows go first, while the frame exists.
  Destroy();
  if (icon_) DestroyIcon(icon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
}

void TVelmoraWin::FormCreate() { Velmora->InitManager(); }

void TVelmoraWin::FormClose(ui::CloseEvent&) { SetModalResult(ui::ModalResult::Ok); }

// The keys of a file manager's panels and of Explorer: Enter changes,
// Insert adds, F2 renames in place, F5 refreshes, Ctrl+C copies the rows
// as text.
void TVelmoraWin::VelmoralvAutoRunKeyDown(ui::KeyEvent& event) {
  const bool plain = !event.ctrl && !event.alt && !event.shift;
  if (event.key == 'Z' && event.ctrl && !event.alt) {
    event.key = 0;
    Velmora->miUndoClick();
    return;
  }
  if (event.key == 'C' && event.ctrl && !event.alt) {
    event.key = 0;
    Velmora->CopySelected();
    return;
  }
  if (plain && (event.key == VK_RETURN || event.key == VK_INSERT || event.key == VK_F5 || event.key == VK_F2)) {
    const WORD key = event.key;
    event.key = 0;
    if (key == VK_F2) Velmora->RenameInPlace();
    if (key == VK_RETURN) Velmora->miChangeClick();
    if (key == VK_INSERT) Velmora->miAddClick();
    if (key == VK_F5) Velmora->tbRefreshClick();
    return;
  }
  // Whatever shift keys are held.
  if (event.key != VK_DELETE) return;
  event.key = 0;
  Velmora->miDeleteClick();
}

void TVelmoraWin::VelmoratbDeleteClick() { Velmora->miDeleteClick(); }

LRESULT TVelmoraWin::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE && Velmora) {
    Velmora->SetBounds(0, 0, LOWORD(lParam), HIWORD(lParam));
    return 0;
  }
  if (message == WM_ERASEBKGND && Velmora) return 1;  // the frame paints all of it
  return Form::HandleMessage(message, wParam, lParam);
}

void ShowManagerWindow(HWND wnd) {
  ui::LibraryActivation activation(ui::TheApplication->Instance(), IDR_LIBRARY_MANIFEST);
  const HWND saved = ui::TheApplication->Handle();
  ui::TheApplication->SetHandle(wnd);
  struct RestoreHandle {
    HWND saved;
    ~RestoreHandle() { ui::TheApplication->SetHandle(saved); }
  } restore{saved};
  TVelmoraWin window;
  window.ShowModal();
}
