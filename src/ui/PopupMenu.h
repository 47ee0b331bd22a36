#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class PopupMenu;

// One item of a popup menu; choosing it raises OnClick.
class MenuItem {
 public:
  MenuItem(PopupMenu& menu, int id) : menu_(menu), id_(id) {}
  MenuItem(const MenuItem&) = delete;
  MenuItem& operator=(const MenuItem&) = delete;

  int Id() const { return id_; }
  void SetEnabled(bool enabled) const;
  bool Enabled() const;
  void SetCaption(const std::wstring& caption) const;
  void SetChecked(bool checked) const;
  bool Checked() const;
  // Runs the item as choosing it does: only when it is enabled.
  void Click() const;

  std::function<void()> OnClick;

 private:
  PopupMenu& menu_;
  int id_;
};

// Owns a popup menu.
class PopupMenu {
 public:
  PopupMenu() : menu_(CreatePopupMenu()) {}
  ~PopupMenu() { DestroyMenu(menu_); }
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;

  HMENU Handle() const { return menu_; }
  // The menu owns its items.
  MenuItem& AddItem(int id, const std::wstring& caption);
  MenuItem* ItemOf(int id) const;
  std::wstring Caption(int index) const;
  int Count() const { return GetMenuItemCount(menu_); }
  // Raises OnPopup, shows the menu at a screen point and runs the chosen item.
  void Popup(HWND owner, POINT screen);

  std::function<void()> OnPopup;

 private:
  std::vector<std::unique_ptr<MenuItem>> items_;
  HMENU menu_;
};

}  // namespace ui
