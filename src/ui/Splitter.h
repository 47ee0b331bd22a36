#pragma once
// A vertical bar that the user drags to resize the control on its left,
// which starts at the parent's left edge.
#include <functional>

#include "ui/Window.h"

namespace ui {

class Splitter : public Window {
 public:
  struct MoveEvent {
    int leftWidth;  // the proposed width of the left control
  };

  void Create(const CreateArgs& args) { CreateOwn(L"VelmoraSplitter", args); }
  void SetMinSize(int minSize) { minSize_ = minSize; }
  // Raised while dragging.
  std::function<void(MoveEvent&)> OnMoved;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int LeftEdgeInParent() const;
  int minSize_ = 30;
  int dragStartX_ = 0;
  int dragStartWidth_ = 0;
  bool dragging_ = false;
};

}  // namespace ui
