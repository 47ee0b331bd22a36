#pragma once
// The DPI a window is drawn at. The library leaves the host's and the
// thread's DPI awareness as they are: under a host that is not DPI aware
// the system reports 96 and scales the window itself.
#include <windows.h>

namespace ui {

// GetDpiForWindow where Windows has it (10, version 1607 on), else the
// screen's.
UINT DpiOf(HWND window);

// The side of the pictures drawn for a DPI: 16 (100%), 24 (150%) or 32
// pixels (200%).
inline int PictureSize(UINT dpi) { return dpi >= 192 ? 32 : dpi >= 144 ? 24 : 16; }

// A size in pixels at 96 DPI, at `dpi`.
inline int Scaled(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

}  // namespace ui
