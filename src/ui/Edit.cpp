#include "ui/Edit.h"

#include "ui/Gdi.h"

namespace ui {

void Label::FitText() {
  WindowDC dc(Handle());
  const std::wstring text = Text();
  SIZE size{};
  GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
  RECT rect;
  GetWindowRect(Handle(), &rect);
  if (size.cx > rect.right - rect.left)
    SetWindowPos(Handle(), nullptr, 0, 0, size.cx, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace ui
