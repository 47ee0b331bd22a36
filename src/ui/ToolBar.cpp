#include "ui/ToolBar.h"

namespace ui {

void ToolBar::Create(const ControlArgs& args, HIMAGELIST images) {
  ControlArgs toolArgs = args;
  // No tooltip window: the buttons have no tooltip texts.
  toolArgs.style |= TBSTYLE_FLAT | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN;
  CommonControl::Create(TOOLBARCLASSNAMEA, toolArgs);
  Send(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
  Send(TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
  Send(TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
}

void ToolBar::AddButton(int id, int image) {
  TBBUTTON button{};
  button.iBitmap = image;
  button.idCommand = id;
  button.fsState = TBSTATE_ENABLED;
  button.fsStyle = BTNS_BUTTON;
  Send(TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button));
}

void ToolBar::AddSeparator(int id, int width, bool hidden) {
  TBBUTTON button{};
  button.iBitmap = width;
  button.idCommand = id;
  button.fsState = static_cast<BYTE>(hidden ? TBSTATE_HIDDEN : 0);
  button.fsStyle = BTNS_SEP;
  Send(TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button));
}

bool ToolBar::HandleCommand(int id) {
  const auto handler = OnClick.find(id);
  if (handler == OnClick.end()) return false;
  if (handler->second) handler->second();
  return true;
}

}  // namespace ui
