#pragma once
// A vertical bar that the user drags to resize the control on its left.
#include <functional>

#include "ui/WinControl.h"

namespace ui {

class Splitter : public TWinControl {
 public:
  void Create(HWND parent, int minSize = 30);
  // Raised while dragging with the proposed width of the left control.
  std::function<void(int newLeftWidth)> OnMoved;
  // The left control's current width, read when a drag starts.
  std::function<int()> LeftWidth;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int minSize_ = 30;
  int dragStartX_ = 0;
  int dragStartWidth_ = 0;
  bool dragging_ = false;
};

}  // namespace ui
