#pragma once
// A flat push button that never takes the keyboard focus; it shows a
// caption or a picture of two images (normal, disabled).
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

#include "ui/Gdi.h"
#include "ui/WinControl.h"

namespace ui {

struct SpeedButtonArgs {
  HWND parent = nullptr;
  int left = 0, top = 0, width = 0, height = 0;
  std::string caption;
  HFONT font = nullptr;        // not owned
  HIMAGELIST glyphs = nullptr;  // not owned: image 0 normal, 1 disabled
};

class SpeedButton : public TWinControl {
 public:
  void Create(const SpeedButtonArgs& args);
  std::function<void()> OnClick;
  // Runs the click, as a click with the mouse does.
  void Click() {
    if (OnClick && IsWindowEnabled(Handle())) OnClick();
  }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HDC dc);
  SpeedButtonArgs args_;
  bool pressed_ = false, hot_ = false;
};

}  // namespace ui
