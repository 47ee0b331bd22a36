#include "ui/Edit.h"

#include <commctrl.h>

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

void SearchEdit::Create(const CreateArgs& args) {
  Edit::Create(args);
  SubclassControl();
}

void SearchEdit::SetCue(const std::wstring& cue) { Send(EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.c_str())); }

bool SearchEdit::OnCommandReflect(WORD code, WORD) {
  if (code != EN_CHANGE || !OnChange) return false;
  OnChange();
  return true;
}

bool SearchEdit::OnControlMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  if (wParam != VK_ESCAPE || (message != WM_KEYDOWN && message != WM_CHAR)) return false;
  // The key's character would beep in a single-line box.
  if (message == WM_KEYDOWN && OnEscape) OnEscape();
  result = 0;
  return true;
}

}  // namespace ui
