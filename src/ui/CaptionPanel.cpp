#include "ui/CaptionPanel.h"

namespace ui {

void CaptionPanel::Create(const CaptionPanelArgs& args) {
  caption_ = args.caption;
  backgroundColor_ = args.backgroundColor;
  textColor_ = args.textColor;
  font_.Create(args.fontFace, args.fontHeight, args.bold);
  WindowArgs window;
  window.parent = args.parent;
  window.caption = caption_.c_str();
  CreateHandle("VelmoraCaptionPanel", window);
}

LRESULT CaptionPanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(Handle(), &paint);
      RECT rect = ClientRect();
      FillRect(dc, &rect, GetSysColorBrush(backgroundColor_));
      SelectScope font(dc, font_.Get());
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, textColor_);
      DrawTextA(dc, caption_.c_str(), -1, &rect, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
      EndPaint(Handle(), &paint);
      return 0;
    }
    default:
      return DefaultHandler(message, wParam, lParam);
  }
}

}  // namespace ui
