#include "ui/Splitter.h"

#include <algorithm>

namespace ui {

int Splitter::LeftEdgeInParent() const {
  RECT rect{};
  GetWindowRect(Handle(), &rect);
  MapWindowPoints(nullptr, GetParent(Handle()), reinterpret_cast<POINT*>(&rect), 2);
  return rect.left;
}

LRESULT Splitter::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR:
      SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
      return TRUE;
    case WM_LBUTTONDOWN: {
      POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ClientToScreen(Handle(), &point);
      dragStartX_ = point.x;
      dragStartWidth_ = LeftEdgeInParent();
      dragging_ = true;
      SetCapture(Handle());
      return 0;
    }
    case WM_MOUSEMOVE:
      if (dragging_) {
        POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(Handle(), &point);
        RECT parent{};
        GetClientRect(GetParent(Handle()), &parent);
        const int maxWidth = std::max(minSize_, int(parent.right) - minSize_ - 6);
        const int width = std::clamp(dragStartWidth_ + int(point.x) - dragStartX_, minSize_, maxWidth);
        MoveEvent event{width};
        if (OnMoved) OnMoved(event);
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (dragging_) {
        dragging_ = false;
        if (message == WM_LBUTTONUP) ReleaseCapture();
      }
      return 0;
    default:
      return DefaultHandler(message, wParam, lParam);
  }
}

}  // namespace ui
