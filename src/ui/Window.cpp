#include "ui/Window.h"

#include <unordered_map>
#include <vector>

#include "common/Errors.h"
#include "common/Unicode.h"
#include "ui/Application.h"
#include "ui/ErrorBox.h"
#include "ui/PopupMenu.h"

namespace ui {

namespace {

// The wrappers of the windows the library made, by handle. Neither a
// window property nor a subclass: under Wine both cost a server round
// trip, the subclass on every message the control gets.
std::unordered_map<HWND, Window*>& Wrappers() {
  static std::unordered_map<HWND, Window*> wrappers;
  return wrappers;
}

std::vector<std::wstring> registeredClasses;

// Wide classes: their windows are Unicode windows, so no text or
// character reaches them through the ANSI code page.
void RegisterOnce(const wchar_t* className, const CreateArgs& args, WNDPROC procedure) {
  HINSTANCE instance = TheApplication->Instance();
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(instance, className, &existing)) return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = args.background ? args.background : reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = className;
  windowClass.hIcon = args.icon;
  windowClass.hIconSm = args.smallIcon;
  if (RegisterClassExW(&windowClass)) registeredClasses.push_back(className);
}

BOOL CALLBACK SetChildFont(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

}  // namespace

KeyEvent KeyEventOf(WORD key) {
  return KeyEvent{key, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_MENU) < 0};
}

void UnregisterLibraryClasses() {
  for (const std::wstring& name : registeredClasses) UnregisterClassW(name.c_str(), TheApplication->Instance());
  registeredClasses.clear();
}

void SetFontRecursive(HWND window, HFONT font) {
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  EnumChildWindows(window, &SetChildFont, reinterpret_cast<LPARAM>(font));
}

Window* Window::FromHandle(HWND window) {
  const auto found = Wrappers().find(window);
  return found == Wrappers().end() ? nullptr : found->second;
}

void Window::Attach(HWND hwnd) {
  hwnd_ = hwnd;
  Wrappers()[hwnd] = this;
}

void Window::Detached() {
  if (hwnd_) Wrappers().erase(hwnd_);
  if (hwnd_ && controlProc_)
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(controlProc_));
  controlProc_ = nullptr;
  hwnd_ = nullptr;
}

// The control's procedure is replaced, not subclassed with
// SetWindowSubclass: comctl32 looks its subclass data up in a window
// property on every message, and under Wine each lookup is a server round
// trip (listing a key cost eight times its floor). The wide form keeps the
// control a Unicode window.
void Window::SubclassControl() {
  if (hwnd_ && !controlProc_)
    controlProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::ControlProc)));
}

LRESULT CALLBACK Window::ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* window = FromHandle(hwnd);
  if (!window || !window->controlProc_) return DefWindowProcW(hwnd, message, wParam, lParam);
  const WNDPROC original = window->controlProc_;
  if (message == WM_NCDESTROY) {
    window->Detached();  // puts the control's procedure back
    return CallWindowProcW(original, hwnd, message, wParam, lParam);
  }
  if (message < WM_KEYFIRST || message > WM_KEYLAST) return CallWindowProcW(original, hwnd, message, wParam, lParam);
  LRESULT result = 0;
  bool handled = false;
  RunHandler([&] { handled = window->OnControlMessage(message, wParam, lParam, result); });
  return handled ? result : CallWindowProcW(original, hwnd, message, wParam, lParam);
}

// A control's window goes with its parent: its wrapper forgets it then,
// while it can still be told from other windows.
void Window::DetachChildren() {
  std::vector<Window*> children;
  for (const auto& [hwnd, wrapper] : Wrappers())
    if (IsChild(hwnd_, hwnd)) children.push_back(wrapper);
  for (Window* child : children) child->Detached();
}

void Window::Destroy() {
  if (!hwnd_) return;
  HWND window = hwnd_;
  // Forgotten first: nothing the window sends while it goes reaches a
  // wrapper that is being destroyed.
  DetachChildren();
  Detached();
  DestroyWindow(window);
}

void Window::Created(const wchar_t* className, const CreateArgs& args) {
  if (!hwnd_) throw EVelmoraError(FormatMessageText("Failed to create window '%s'", className));
  if (args.font) Send(WM_SETFONT, reinterpret_cast<WPARAM>(args.font), FALSE);
}

void Window::CreateOwn(const wchar_t* className, const CreateArgs& args) {
  Destroy();
  RegisterOnce(className, args, &Window::WindowProc);
  CreateWindowExW(args.exStyle, className, args.text.c_str(), args.style, args.left, args.top, args.width,
                  args.height, args.parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id)),
                  TheApplication->Instance(), this);
  Created(className, args);
}

void Window::CreateControl(const wchar_t* className, const CreateArgs& args) {
  Destroy();
  HWND hwnd = CreateWindowExW(args.exStyle, className, args.text.c_str(),
                              args.style, args.left, args.top, args.width, args.height, args.parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id)), TheApplication->Instance(),
                              nullptr);
  if (hwnd) Attach(hwnd);
  Created(className, args);
}

RECT Window::ClientRect() const {
  RECT rect{};
  GetClientRect(hwnd_, &rect);
  return rect;
}

std::wstring Window::Text() const {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd_, &text[0], static_cast<int>(text.size()))));
  return text;
}

LRESULT Window::DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefaultHandler(message, wParam, lParam);
}

bool Window::Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      Window* child = FromHandle(header->hwndFrom);
      return child && child != this && child->OnNotifyReflect(header, result);
    }
    case WM_COMMAND: {
      Window* child = FromHandle(reinterpret_cast<HWND>(lParam));
      if (!child || child == this || !child->OnCommandReflect(HIWORD(wParam), LOWORD(wParam))) return false;
      result = 0;
      return true;
    }
    case WM_NOTIFYFORMAT: {
      Window* child = lParam == NF_QUERY ? FromHandle(reinterpret_cast<HWND>(wParam)) : nullptr;
      if (!child || child == this || !child->WantsUnicodeNotifications()) return false;
      result = NFR_UNICODE;
      return true;
    }
    case WM_CONTEXTMENU: {
      Window* child = FromHandle(reinterpret_cast<HWND>(wParam));
      if (!child || child == this || !child->popupMenu_) return false;
      POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (point.x == -1 && point.y == -1) {  // from the keyboard
        point = child->KeyboardMenuPoint();
        ClientToScreen(child->hwnd_, &point);
      }
      child->popupMenu_->Popup(hwnd_, point);
      result = 0;
      return true;
    }
    default:
      return false;
  }
}

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* window = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    window->Attach(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!window || window->hwnd_ != hwnd) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_DESTROY) window->DetachChildren();
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    window->Detached();
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  LRESULT result = 0;
  bool handled = false;
  RunHandler([&] {
    handled = window->Reflect(message, wParam, lParam, result);
    if (!handled) {
      result = window->HandleMessage(message, wParam, lParam);
      handled = true;
    }
  });
  return handled ? result : DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace ui
