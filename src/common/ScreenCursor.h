#pragma once
// The screen cursor shown while the library works, and a scope that
// restores the previous one on every path.
#include <windows.h>

enum class CursorShape { Default, HourGlass };

CursorShape CurrentScreenCursor();
void SetScreenCursor(CursorShape shape);

class ScreenCursorScope {
 public:
  explicit ScreenCursorScope(CursorShape shape) : previous_(CurrentScreenCursor()) { SetScreenCursor(shape); }
  ~ScreenCursorScope() { SetScreenCursor(previous_); }
  ScreenCursorScope(const ScreenCursorScope&) = delete;
  ScreenCursorScope& operator=(const ScreenCursorScope&) = delete;

 private:
  CursorShape previous_;
};
