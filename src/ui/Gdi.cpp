#include "ui/Gdi.h"

namespace ui {

Font::Font(const wchar_t* face, int height, bool bold) { Create(face, height, bold); }

void Font::Create(const wchar_t* face, int height, bool bold) {
  Reset();
  font_ = CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
}

void Font::Reset() {
  if (font_) DeleteObject(font_);
  font_ = nullptr;
}

WindowDC::WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {
  const auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0));
  if (font) previousFont_ = SelectObject(dc_, font);
}

WindowDC::~WindowDC() {
  if (previousFont_) SelectObject(dc_, previousFont_);
  ReleaseDC(window_, dc_);
}

}  // namespace ui
