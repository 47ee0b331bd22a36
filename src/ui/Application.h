#pragma once
// The application and screen objects of the windowing layer. In a library
// the application object has no window of its own: its handle is 0 until
// the manager sets it to the host's window for one run.
#include <windows.h>

constexpr int crDefault = 0;
constexpr int crHourGlass = -11;

class TApplication {
 public:
  HWND Handle() const { return handle_; }
  void SetHandle(HWND handle) { handle_ = handle; }
  // The module whose resources the library's windows load.
  HINSTANCE Instance() const { return instance_; }
  void SetInstance(HINSTANCE instance) { instance_ = instance; }

 private:
  HWND handle_ = nullptr;
  HINSTANCE instance_ = nullptr;
};

class TScreen {
 public:
  int Cursor() const { return cursor_; }
  // crDefault shows the arrow; crHourGlass the wait cursor.
  void SetCursor(int cursor);

 private:
  int cursor_ = crDefault;
};

// Created by the windowing layer's start-up, before the library's own units.
extern TApplication* Application;
extern TScreen* Screen;

void CreateApplicationObjects();
void FreeApplicationObjects();

// Shows a cursor for one scope and restores the previous one on every path.
class ScreenCursorScope {
 public:
  explicit ScreenCursorScope(int cursor) : previous_(Screen->Cursor()) { Screen->SetCursor(cursor); }
  ~ScreenCursorScope() { Screen->SetCursor(previous_); }
  ScreenCursorScope(const ScreenCursorScope&) = delete;
  ScreenCursorScope& operator=(const ScreenCursorScope&) = delete;

 private:
  int previous_;
};
