#pragma once
// The DPI a window is drawn at. The library leaves the host's and the
// thread's DPI awareness as they are: under a host that is not DPI aware
// the system reports 96 and scales the window itself.
#include <windows.h>

namespace ui {

// GetDpiForWindow where Windows has it (10, version 1607 on), else the
// screen's.
UINT DpiOf(HWND window);

// A size in pixels at 96 DPI, at `dpi`.
inline int Scaled(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

}  // namespace ui
