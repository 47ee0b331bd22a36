#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "ui/Window.h"

namespace ui {

class ToolBar;

// One button of a toolbar; clicking it raises OnClick.
class ToolButton {
 public:
  ToolButton(ToolBar& bar, int id) : bar_(bar), id_(id) {}
  ToolButton(const ToolButton&) = delete;
  ToolButton& operator=(const ToolButton&) = delete;

  int Id() const { return id_; }
  void SetEnabled(bool enabled) const;
  bool Enabled() const;
  bool Hidden() const;
  bool Checked() const;
  void SetChecked(bool checked) const;
  // Clicks an enabled button: the toolbar's parent gets the command that
  // a click with the mouse sends.
  void Click() const;

  std::function<void()> OnClick;

 private:
  ToolBar& bar_;
  int id_;
};

class ToolBar : public Window {
 public:
  void Create(const CreateArgs& args, HIMAGELIST images);
  // The bar owns its buttons; `check`: one that stays pressed until
  // clicked again.
  ToolButton& AddButton(int id, int image, bool check = false);
  ToolButton& AddSeparator(int id, int width, bool hidden = false);
  ToolButton* ButtonOf(int id) const;
  void SetHidden(const ToolButton& button, bool hidden) {
    Send(TB_HIDEBUTTON, static_cast<WPARAM>(button.Id()), MAKELPARAM(hidden, 0));
  }
  int ButtonCount() const { return static_cast<int>(Send(TB_BUTTONCOUNT)); }

 protected:
  bool OnCommandReflect(WORD code, WORD id) override;

 private:
  friend class ToolButton;
  ToolButton& Insert(int id, int bitmap, BYTE state, BYTE style);
  std::vector<std::unique_ptr<ToolButton>> buttons_;
};

}  // namespace ui
