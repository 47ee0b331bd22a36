#include "common/ScreenCursor.h"

namespace {
CursorShape current = CursorShape::Default;
}

CursorShape CurrentScreenCursor() { return current; }

void SetScreenCursor(CursorShape shape) {
  current = shape;
  SetCursor(LoadCursor(nullptr, shape == CursorShape::HourGlass ? IDC_WAIT : IDC_ARROW));
}
