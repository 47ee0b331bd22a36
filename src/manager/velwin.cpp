#include "manager/velwin.h"

#include <algorithm>

#include "manager/RecordStore.h"
#include "manager/velframe.h"
#include "res/resource.h"
#include "ui/ActivationContext.h"
#include "ui/Application.h"
#include "ui/Dpi.h"
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
  // Sized for the DPI of the window it opens over; the frame then asks its
  // own window.
  const UINT dpi = ui::DpiOf(args.parent);
  args.left = kLeft;
  args.top = kTop;
  args.width = ui::Scaled(kWidth, dpi);
  args.height = ui::Scaled(kHeight, dpi);
  CreateOwn(L"TVelmoraWin", args);
  font_.Create(L"MS Sans Serif", ui::Scaled(-11, dpi));
  SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

  Velmora = std::make_unique<TVelmora>(Handle());
  Velmora->SetTreeWidth(ui::Scaled(kTreeWidth, dpi));
  const RECT client = ClientRect();
  Velmora->SetBounds(0, 0, client.right, client.bottom);
  ui::SetFontRecursive(Handle(), font_.Get());

  OnClose = [this](ui::CloseEvent& event) { FormClose(event); };

  // An error while the frame loads is reported; the window still opens.
  ui::RunHandler([this] { FormCreate(); });
  FitFirstOpening(args.parent);
}

TVelmoraWin::~TVelmoraWin() {
  // The window and the frame's windows go first, while the frame exists.
  Destroy();
  if (icon_) DestroyIcon(icon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
}

// Without a saved layout the window is as wide as the tree and the four
// columns need and as tall as every node of the tree needs, within the
// work area of the host's monitor (moved left or up when it would reach
// past its edge).
void TVelmoraWin::FitFirstOpening(HWND host) {
  RECT frame{0, 0, Velmora->WidthForColumns(), Velmora->HeightForTree()};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(Handle(), GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(Handle(), GWL_EXSTYLE)));
  RECT place{};
  GetWindowRect(Handle(), &place);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(host ? host : Handle(), MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const int width = std::min<int>(std::max<int>(frame.right - frame.left, place.right - place.left),
                                  work.right - work.left);
  const int height = std::min<int>(std::max<int>(frame.bottom - frame.top, place.bottom - place.top),
                                   work.bottom - work.top);
  const int left = std::max<int>(work.left, std::min<int>(place.left, work.right - width));
  const int top = std::max<int>(work.top, std::min<int>(place.top, work.bottom - height));
  SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TVelmoraWin::FormCreate() { Velmora->InitManager(); }

void TVelmoraWin::FormClose(ui::CloseEvent&) { SetModalResult(ui::ModalResult::Ok); }

WindowLayout TVelmoraWin::CurrentLayout() const {
  WindowLayout layout;
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(Handle(), &placement);
  const RECT& normal = placement.rcNormalPosition;
  layout.left = normal.left;
  layout.top = normal.top;
  layout.width = normal.right - normal.left;
  layout.height = normal.bottom - normal.top;
  layout.maximized = IsZoomed(Handle()) || placement.showCmd == SW_SHOWMAXIMIZED;
  layout.dpi = static_cast<int>(ui::DpiOf(Handle()));
  layout.treeWidth = Velmora->TreeWidth();
  layout.columns = Velmora->ColumnWidths();
  layout.sortColumn = Velmora->ListOrder().column;
  layout.ascending = Velmora->ListOrder().ascending;
  layout.hideWindowsEntries = Velmora->HidesWindowsEntries();
  return layout;
}

// Sizes saved at another DPI are scaled to this one.
void TVelmoraWin::ApplyLayout(const WindowLayout& saved, HWND host) {
  const UINT dpi = ui::DpiOf(Handle());
  const auto scaled = [&](int pixels) { return MulDiv(pixels, static_cast<int>(dpi), saved.dpi); };
  RECT place{saved.left, saved.top, saved.left + scaled(saved.width), saved.top + scaled(saved.height)};
  if (!MonitorFromRect(&place, MONITOR_DEFAULTTONULL)) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(host, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const int width = std::min<int>(place.right - place.left, work.right - work.left);
    const int height = std::min<int>(place.bottom - place.top, work.bottom - work.top);
    place.left = work.left + (work.right - work.left - width) / 2;
    place.top = work.top + (work.bottom - work.top - height) / 2;
    place.right = place.left + width;
    place.bottom = place.top + height;
  }
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(Handle(), &placement);
  placement.rcNormalPosition = place;
  placement.showCmd = SW_HIDE;
  SetWindowPlacement(Handle(), &placement);
  SetShowCommand(saved.maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
  Velmora->SetTreeWidth(std::min(scaled(saved.treeWidth), std::max(0, static_cast<int>(place.right - place.left) - 40)));
  std::vector<int> columns;
  for (const int width : saved.columns) columns.push_back(scaled(width));
  Velmora->SetColumnWidths(columns);
  if (saved.hideWindowsEntries) Velmora->SetHideWindowsEntries(true);
  if (saved.sortColumn < static_cast<int>(Velmora->ColumnWidths().size()))
    Velmora->SetListOrder(RowOrder{saved.sortColumn, saved.ascending});
}

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
  // The first opening keeps the sizes the window is made with; a layout
  // that cannot be read is passed over.
  WindowLayout layout;
  if (ReadLayout(layout)) window.ApplyLayout(layout, wnd);
  window.ShowModal();
  KeepLayout(window.CurrentLayout());
}
