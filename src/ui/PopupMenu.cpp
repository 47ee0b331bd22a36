#include "ui/PopupMenu.h"

namespace ui {

void MenuItem::SetEnabled(bool enabled) const {
  EnableMenuItem(menu_.Handle(), static_cast<UINT>(id_), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void MenuItem::SetChecked(bool checked) const {
  CheckMenuItem(menu_.Handle(), static_cast<UINT>(id_), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool MenuItem::Checked() const {
  return (GetMenuState(menu_.Handle(), static_cast<UINT>(id_), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

bool MenuItem::Enabled() const {
  const UINT state = GetMenuState(menu_.Handle(), static_cast<UINT>(id_), MF_BYCOMMAND);
  return state != UINT(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

void MenuItem::SetCaption(const std::wstring& caption) const {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING;
  info.dwTypeData = const_cast<wchar_t*>(caption.c_str());
  SetMenuItemInfoW(menu_.Handle(), static_cast<UINT>(id_), FALSE, &info);
}

void MenuItem::Click() const {
  if (Enabled() && OnClick) OnClick();
}

MenuItem& PopupMenu::AddItem(int id, const std::wstring& caption) {
  items_.push_back(std::make_unique<MenuItem>(*this, id));
  AppendMenuW(menu_, MF_STRING, static_cast<UINT_PTR>(id), caption.c_str());
  return *items_.back();
}

MenuItem* PopupMenu::ItemOf(int id) const {
  for (const auto& item : items_)
    if (item->Id() == id) return item.get();
  return nullptr;
}

std::wstring PopupMenu::Caption(int index) const {
  wchar_t text[256] = L"";
  GetMenuStringW(menu_, static_cast<UINT>(index), text, 256, MF_BYPOSITION);
  return text;
}

void PopupMenu::Popup(HWND owner, POINT screen) {
  if (OnPopup) OnPopup();
  const int chosen = TrackPopupMenu(menu_, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0,
                                    owner, nullptr);
  if (MenuItem* item = ItemOf(chosen)) item->Click();
}

}  // namespace ui
