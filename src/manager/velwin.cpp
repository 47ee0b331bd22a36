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
      LoadImageA(Application->Instance(), MAKEINTRESOURCEA(IDI_VELMORA), IMAGE_ICON, size, size, 0));
}
}  // namespace

TVelmoraWin::TVelmoraWin() {
  icon_ = LoadIconSized(32);
  smallIcon_ = LoadIconSized(16);
  WindowArgs args;
  // Top-level, owned by the application window (the host's during a run).
  args.parent = Application->Handle();
  args.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  args.exStyle = WS_EX_CONTROLPARENT;
  args.caption = "Velmora";
  args.left = kLeft;
  args.top = kTop;
  args.width = kWidth;
  args.height = kHeight;
  CreateHandle("TVelmoraWin", args);
  SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

  Velmora = std::make_unique<TVelmora>(Handle());
  Velmora->SetTreeWidth(kTreeWidth);
  const RECT client = ClientRect();
  Velmora->SetBounds(0, 0, client.right, client.bottom);
  SetFontRecursive(Handle(), font_.Get());

  OnClose = [this](TCloseAction& action) { FormClose(action); };
  Velmora->lvAutoRun.OnKeyDown = [this](KeyEvent& event) { VelmoralvAutoRunKeyDown(event); };
  Velmora->ToolBar1.OnClick[Velmora->tbDelete.id] = [this] { VelmoratbDeleteClick(); };

  // An error while the frame loads is reported; the window still opens.
  RunHandler([this] { FormCreate(); });
}

TVelmoraWin::~TVelmoraWin() {
  Velmora.reset();
  DestroyHandle();
  if (icon_) DestroyIcon(icon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
}

void TVelmoraWin::FormCreate() { Velmora->InitManager(); }

void TVelmoraWin::FormClose(TCloseAction&) { SetModalResult(mrOk); }

void TVelmoraWin::VelmoralvAutoRunKeyDown(KeyEvent& event) {
  if (event.key == VK_DELETE) Velmora->miDeleteClick();
}

void TVelmoraWin::VelmoratbDeleteClick() { Velmora->miDeleteClick(); }

LRESULT TVelmoraWin::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE && Velmora) {
    Velmora->SetBounds(0, 0, LOWORD(lParam), HIWORD(lParam));
    return 0;
  }
  return TForm::HandleMessage(message, wParam, lParam);
}

void ShowManagerWindow(HWND wnd) {
  LibraryActivation activation(Application->Instance(), IDR_LIBRARY_MANIFEST);
  const HWND saved = Application->Handle();
  Application->SetHandle(wnd);
  struct RestoreHandle {
    HWND saved;
    ~RestoreHandle() { Application->SetHandle(saved); }
  } restore{saved};
  TVelmoraWin window;
  window.ShowModal();
}
