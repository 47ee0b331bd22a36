#pragma once
#include <functional>
#include <map>

#include "ui/CommonControl.h"

namespace ui {

class ToolBar : public CommonControl {
 public:
  void Create(const ControlArgs& args, HIMAGELIST images);
  void AddButton(int id, int image);
  void AddSeparator(int id, int width, bool hidden = false);
  void SetHidden(int id, bool hidden) { Send(TB_HIDEBUTTON, id, MAKELPARAM(hidden, 0)); }
  void SetEnabled(int id, bool enabled) { Send(TB_ENABLEBUTTON, id, MAKELPARAM(enabled, 0)); }
  bool IsEnabled(int id) const { return Send(TB_ISBUTTONENABLED, id) != 0; }
  bool IsHidden(int id) const { return Send(TB_ISBUTTONHIDDEN, id) != 0; }
  int ButtonCount() const { return static_cast<int>(Send(TB_BUTTONCOUNT)); }

  // Click handlers by button id; the parent forwards WM_COMMAND here.
  std::map<int, std::function<void()>> OnClick;
  bool HandleCommand(int id);
};

// One button of a toolbar, by id.
struct ToolButton {
  ToolBar* bar;
  int id;
  void SetEnabled(bool enabled) const { bar->SetEnabled(id, enabled); }
  bool Enabled() const { return bar->IsEnabled(id); }
  // Clicks an enabled button: the toolbar's parent gets the command that
  // a click with the mouse sends.
  void Click() const {
    if (Enabled())
      SendMessageA(GetParent(bar->Handle()), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(bar->Handle()));
  }
};

}  // namespace ui
