#pragma once
// A borderless strip that paints its text in one line on a system colour.
#include "ui/Window.h"

namespace ui {

class CaptionPanel : public Window {
 public:
  void Create(const CreateArgs& args) { CreateOwn(L"VelmoraCaptionPanel", args); }
  int backgroundColor = COLOR_ACTIVECAPTION;  // a system colour index
  COLORREF textColor = RGB(255, 255, 255);
  // Its own, not the form's: WM_SETFONT does not change it.
  HFONT captionFont = nullptr;  // not owned

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace ui
