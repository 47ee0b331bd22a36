#pragma once
// The one base of every window the library makes: forms, frames and
// panels of classes it registers itself, and the system's controls.
//
// Where a message goes: the window procedure of a class we register
// stores `this` at WM_NCCREATE and hands every message to HandleMessage.
// WM_NOTIFY and WM_COMMAND from a child are reflected to the child's own
// wrapper (OnNotifyReflect / OnCommandReflect), which raises its typed
// events; WM_CONTEXTMENU over a child shows the child's popup menu. An
// exception that escapes a handler stops in the window procedure and is
// shown in the standard error box.
#include <windows.h>
#include <commctrl.h>

#include <string>

namespace ui {

class PopupMenu;

struct CreateArgs {
  HWND parent = nullptr;
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD exStyle = 0;
  std::wstring text;
  int left = 0, top = 0, width = 0, height = 0;
  int id = 0;
  HFONT font = nullptr;  // not owned; sent with WM_SETFONT after creation
  // Of a class the library registers, at its first registration.
  HBRUSH background = nullptr;
  HICON icon = nullptr, smallIcon = nullptr;
};

// A key the user pressed; a handler may change `key` (0 swallows it).
struct KeyEvent {
  WORD key;
  bool shift, ctrl, alt;
};
KeyEvent KeyEventOf(WORD key);

class Window {
 public:
  Window() = default;
  virtual ~Window() { Destroy(); }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND Handle() const { return hwnd_; }
  operator HWND() const { return hwnd_; }
  void SetBounds(int left, int top, int width, int height) { MoveWindow(hwnd_, left, top, width, height, TRUE); }
  RECT ClientRect() const;
  // Every window the library makes is a Unicode window: its text is
  // whole, in any script.
  std::wstring Text() const;
  void SetText(const std::wstring& text) { SetWindowTextW(hwnd_, text.c_str()); }
  void Destroy();
  // Shown when the user asks for a context menu over this window.
  void SetPopupMenu(PopupMenu* menu) { popupMenu_ = menu; }
  PopupMenu* Popup() const { return popupMenu_; }
  // Where a menu asked for from the keyboard opens, in client coordinates.
  virtual POINT KeyboardMenuPoint() const { return POINT{4, 4}; }

  // The wrapper of a window the library made, or null.
  static Window* FromHandle(HWND window);

 protected:
  // A window of a class the library registers (once per loaded library).
  void CreateOwn(const wchar_t* className, const CreateArgs& args);
  // A window of a system control class.
  void CreateControl(const wchar_t* className, const CreateArgs& args);
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam);
  // This window's notifications, reflected by its parent; true when handled.
  virtual bool OnNotifyReflect(NMHDR*, LRESULT&) { return false; }
  virtual bool OnCommandReflect(WORD /*code*/, WORD /*id*/) { return false; }
  // A control that hands out UTF-16 texts in its notifications asks for
  // their wide forms (the parent answers WM_NOTIFYFORMAT for it).
  virtual bool WantsUnicodeNotifications() const { return false; }
  // A system control whose own keyboard messages its wrapper must see:
  // they come to OnControlMessage first; true when handled. (Only those:
  // every other message goes straight on, as the list gets thousands.)
  void SubclassControl();
  virtual bool OnControlMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return SendMessageW(hwnd_, message, wParam, lParam);
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Attach(HWND hwnd);
  void Detached();
  void DetachChildren();
  bool Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void Created(const wchar_t* className, const CreateArgs& args);

  HWND hwnd_ = nullptr;
  PopupMenu* popupMenu_ = nullptr;
  WNDPROC controlProc_ = nullptr;  // the control's own procedure while subclassed
};

// Unregisters the window classes the library registered; a library that
// is unloaded and loaded again must not find its old classes.
void UnregisterLibraryClasses();

// Sends WM_SETFONT to a window and all its children.
void SetFontRecursive(HWND window, HFONT font);

}  // namespace ui
