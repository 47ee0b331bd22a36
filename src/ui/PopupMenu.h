#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>

namespace ui {

// Owns a popup menu; items run their click handlers by id.
class PopupMenu {
 public:
  PopupMenu() : menu_(CreatePopupMenu()) {}
  ~PopupMenu() { DestroyMenu(menu_); }
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;

  HMENU Handle() const { return menu_; }
  void AddItem(int id, const std::string& caption, std::function<void()> onClick);
  void SetEnabled(int id, bool enabled) { EnableMenuItem(menu_, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED)); }
  bool IsEnabled(int id) const;
  std::string Caption(int index) const;
  int Count() const { return GetMenuItemCount(menu_); }
  // Runs OnPopup, shows the menu at a screen point and runs the chosen item.
  void Popup(HWND owner, POINT screen);
  bool Click(int id);

  std::function<void()> OnPopup;

 private:
  HMENU menu_;
  std::map<int, std::function<void()>> handlers_;
};

// One item of a popup menu, by id.
struct MenuItem {
  PopupMenu* menu;
  int id;
  void SetEnabled(bool enabled) const { menu->SetEnabled(id, enabled); }
  bool Enabled() const { return menu->IsEnabled(id); }
  void Click() const { menu->Click(id); }
};

}  // namespace ui
