#include "ui/CaptionPanel.h"

#include "ui/Gdi.h"

namespace ui {

LRESULT CaptionPanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(Handle(), &paint);
      RECT rect = ClientRect();
      FillRect(dc, &rect, GetSysColorBrush(backgroundColor));
      SelectScope font(dc, captionFont ? static_cast<HGDIOBJ>(captionFont) : GetStockObject(DEFAULT_GUI_FONT));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, textColor);
      const std::wstring caption = Text();
      DrawTextW(dc, caption.c_str(), -1, &rect, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
      EndPaint(Handle(), &paint);
      return 0;
    }
    default:
      return DefaultHandler(message, wParam, lParam);
  }
}

}  // namespace ui
