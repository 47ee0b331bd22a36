#include "ui/StatusBar.h"

#include "common/Unicode.h"

namespace ui {

void StatusBar::Create(const CreateArgs& args) {
  CreateArgs barArgs = args;
  barArgs.style |= CCS_NOPARENTALIGN | CCS_NORESIZE;
  texts_.clear();
  CreateControl(STATUSCLASSNAMEW, barArgs);
}

void StatusBar::SetPanels(const std::vector<int>& widths) {
  widths_ = widths;
  std::vector<int> rightEdges;
  int edge = 0;
  for (int width : widths) rightEdges.push_back(edge += width);
  Send(SB_SETPARTS, rightEdges.size(), reinterpret_cast<LPARAM>(rightEdges.data()));
}

void StatusBar::SetText(int panel, const std::wstring& text) {
  if (panel < 0) return;
  const std::wstring shown = text.substr(0, kLongestText);
  const size_t at = static_cast<size_t>(panel);
  if (at >= texts_.size()) texts_.resize(at + 1);
  if (texts_[at] == shown) return;
  texts_[at] = shown;
  // Turning redrawing off validates the bar: what waited to be painted
  // is kept, and invalidated again with the panel, as the control itself
  // invalidates it (its paint fills the background).
  HRGN pending = CreateRectRgn(0, 0, 0, 0);
  const int waiting = pending ? GetUpdateRgn(Handle(), pending, FALSE) : ERROR;
  Send(WM_SETREDRAW, FALSE);
  Send(SB_SETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(shown.c_str()));
  Send(WM_SETREDRAW, TRUE);
  if (waiting == SIMPLEREGION || waiting == COMPLEXREGION) InvalidateRgn(Handle(), pending, FALSE);
  if (pending) DeleteObject(pending);
  RECT bounds{};
  if (Send(SB_GETRECT, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(&bounds)))
    InvalidateRect(Handle(), &bounds, FALSE);
  else
    InvalidateRect(Handle(), nullptr, FALSE);
}

std::wstring StatusBar::Text(int panel) const {
  const size_t length = LOWORD(Send(SB_GETTEXTLENGTHW, static_cast<WPARAM>(panel)));
  std::wstring text(length + 1, L'\0');
  Send(SB_GETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(length);
  return text;
}

}  // namespace ui
