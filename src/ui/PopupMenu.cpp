#include "ui/PopupMenu.h"

namespace ui {

void PopupMenu::AddItem(int id, const std::string& caption, std::function<void()> onClick) {
  AppendMenuA(menu_, MF_STRING, id, caption.c_str());
  handlers_[id] = std::move(onClick);
}

bool PopupMenu::IsEnabled(int id) const {
  const UINT state = GetMenuState(menu_, id, MF_BYCOMMAND);
  return state != UINT(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

std::string PopupMenu::Caption(int index) const {
  char text[256] = "";
  GetMenuStringA(menu_, index, text, sizeof text, MF_BYPOSITION);
  return text;
}

void PopupMenu::Popup(HWND owner, POINT screen) {
  if (OnPopup) OnPopup();
  const int chosen = TrackPopupMenu(menu_, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0,
                                    owner, nullptr);
  if (chosen) Click(chosen);
}

bool PopupMenu::Click(int id) {
  const auto handler = handlers_.find(id);
  if (handler == handlers_.end() || !IsEnabled(id)) return false;
  if (handler->second) handler->second();
  return true;
}

}  // namespace ui
