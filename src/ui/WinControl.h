#pragma once
// Base of the windows whose class the library registers itself (forms,
// frames, panels, splitters, buttons). The window procedure stores `this`
// at WM_NCCREATE and forwards every message; an exception that escapes a
// handler stops there and is shown in the standard error box.
#include <windows.h>

#include <string>

struct WindowArgs {
  HWND parent = nullptr;
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD exStyle = 0;
  const char* caption = "";
  int left = 0, top = 0, width = 0, height = 0;
  HBRUSH background = nullptr;
  HICON icon = nullptr;
  HICON smallIcon = nullptr;
};

class TWinControl {
 public:
  TWinControl() = default;
  virtual ~TWinControl();
  TWinControl(const TWinControl&) = delete;
  TWinControl& operator=(const TWinControl&) = delete;

  HWND Handle() const { return hwnd_; }
  void SetBounds(int left, int top, int width, int height);
  RECT ClientRect() const;

 protected:
  // Registers `className` once per process (library instance) and creates the window.
  void CreateHandle(const char* className, const WindowArgs& args);
  void DestroyHandle();
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
};

// Unregisters the window classes the library registered; a library that
// is unloaded and loaded again must not find its old classes.
void UnregisterLibraryClasses();

// Sends WM_SETFONT to a window and all its children.
void SetFontRecursive(HWND window, HFONT font);
