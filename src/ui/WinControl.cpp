#include "ui/WinControl.h"

#include "ui/Application.h"
#include "ui/ErrorBox.h"

#include <vector>

namespace {
std::vector<std::string> registeredClasses;
}

void UnregisterLibraryClasses() {
  for (const std::string& name : registeredClasses) UnregisterClassA(name.c_str(), Application->Instance());
  registeredClasses.clear();
}

TWinControl::~TWinControl() { DestroyHandle(); }

void TWinControl::DestroyHandle() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

void TWinControl::CreateHandle(const char* className, const WindowArgs& args) {
  HINSTANCE instance = Application->Instance();
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  if (!GetClassInfoExA(instance, className, &existing)) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = &TWinControl::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = args.background ? args.background : reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    windowClass.hIcon = args.icon;
    windowClass.hIconSm = args.smallIcon;
    if (RegisterClassExA(&windowClass)) registeredClasses.push_back(className);
  }
  CreateWindowExA(args.exStyle, className, args.caption, args.style, args.left, args.top, args.width, args.height,
                  args.parent, nullptr, instance, this);
}

LRESULT TWinControl::DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT TWinControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefaultHandler(message, wParam, lParam);
}

LRESULT CALLBACK TWinControl::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* control = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    control->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
  }
  auto* control = reinterpret_cast<TWinControl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!control) return DefWindowProcA(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    control->hwnd_ = nullptr;
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  LRESULT result = 0;
  bool handled = false;
  RunHandler([&] {
    result = control->HandleMessage(message, wParam, lParam);
    handled = true;
  });
  return handled ? result : DefWindowProcA(hwnd, message, wParam, lParam);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  MoveWindow(hwnd_, left, top, width, height, TRUE);
}

RECT TWinControl::ClientRect() const {
  RECT rect{};
  GetClientRect(hwnd_, &rect);
  return rect;
}


namespace {
BOOL CALLBACK SetChildFont(HWND child, LPARAM font) {
  SendMessageA(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}
}  // namespace

void SetFontRecursive(HWND window, HFONT font) {
  SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  EnumChildWindows(window, &SetChildFont, reinterpret_cast<LPARAM>(font));
}
