#pragma once
// A flat push button that never takes the keyboard focus; it shows its
// text, or a picture of two images (normal, disabled).
#include <functional>

#include "ui/Window.h"

namespace ui {

class SpeedButton : public Window {
 public:
  void Create(const CreateArgs& args) { CreateOwn(L"VelmoraSpeedButton", args); }
  // Not owned: image 0 normal, 1 disabled.
  void SetGlyphs(HIMAGELIST glyphs) { glyphs_ = glyphs; }
  std::function<void()> OnClick;
  // Runs the click, as a click with the mouse does.
  void Click() {
    if (OnClick && IsWindowEnabled(Handle())) OnClick();
  }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HDC dc);
  HIMAGELIST glyphs_ = nullptr;
  HFONT font_ = nullptr;
  bool pressed_ = false, hot_ = false;
};

}  // namespace ui
