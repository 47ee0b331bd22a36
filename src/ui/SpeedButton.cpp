#include "ui/SpeedButton.h"

#include "ui/Gdi.h"

namespace ui {

void SpeedButton::Paint(HDC dc) {
  RECT rect = ClientRect();
  // Flat: the parent's background shows through.
  auto background = reinterpret_cast<HBRUSH>(GetClassLongPtrW(GetParent(Handle()), GCLP_HBRBACKGROUND));
  FillRect(dc, &rect, background ? background : GetSysColorBrush(COLOR_BTNFACE));
  if (pressed_ || hot_) DrawEdge(dc, &rect, pressed_ ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  const bool enabled = IsWindowEnabled(Handle()) != FALSE;
  if (glyphs_) {
    int width = 16, height = 16;
    ImageList_GetIconSize(glyphs_, &width, &height);
    const int x = (rect.right - width) / 2 + (pressed_ ? 1 : 0), y = (rect.bottom - height) / 2 + (pressed_ ? 1 : 0);
    ImageList_Draw(glyphs_, enabled ? 0 : 1, dc, x, y, ILD_TRANSPARENT);
  } else {
    SelectScope font(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    if (pressed_) OffsetRect(&rect, 1, 1);
    const std::wstring caption = Text();
    DrawTextW(dc, caption.c_str(), -1, &rect, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  }
}

LRESULT SpeedButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      Paint(BeginPaint(Handle(), &paint));
      EndPaint(Handle(), &paint);
      return 0;
    }
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      if (!hot_) {
        hot_ = true;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
        TrackMouseEvent(&track);
        InvalidateRect(Handle(), nullptr, FALSE);
      }
      return 0;
    case WM_MOUSELEAVE:
      hot_ = false;
      InvalidateRect(Handle(), nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
      // No SetFocus: the focus stays where it was.
      pressed_ = true;
      SetCapture(Handle());
      InvalidateRect(Handle(), nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP: {
      const bool wasPressed = pressed_;
      pressed_ = false;
      ReleaseCapture();
      InvalidateRect(Handle(), nullptr, FALSE);
      POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      const RECT rect = ClientRect();
      if (wasPressed && PtInRect(&rect, point)) Click();
      return 0;
    }
    case WM_ENABLE:
      InvalidateRect(Handle(), nullptr, FALSE);
      return 0;
    default:
      return DefaultHandler(message, wParam, lParam);
  }
}

}  // namespace ui
