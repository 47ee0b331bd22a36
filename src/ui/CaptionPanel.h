#pragma once
// A borderless strip that paints one line of text on a system colour.
#include <string>

#include "ui/Gdi.h"
#include "ui/WinControl.h"

namespace ui {

struct CaptionPanelArgs {
  HWND parent = nullptr;
  std::string caption;
  int backgroundColor = COLOR_ACTIVECAPTION;  // a system colour index
  COLORREF textColor = RGB(255, 255, 255);
  const char* fontFace = "MS Sans Serif";
  int fontHeight = -11;
  bool bold = true;
};

class CaptionPanel : public TWinControl {
 public:
  void Create(const CaptionPanelArgs& args);
  const std::string& Caption() const { return caption_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  std::string caption_;
  int backgroundColor_ = COLOR_ACTIVECAPTION;
  COLORREF textColor_ = 0;
  Font font_;
};

}  // namespace ui
