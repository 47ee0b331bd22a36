#include "ui/ToolBar.h"

namespace ui {

void ToolButton::SetEnabled(bool enabled) const {
  bar_.Send(TB_ENABLEBUTTON, static_cast<WPARAM>(id_), MAKELPARAM(enabled, 0));
}

bool ToolButton::Enabled() const { return bar_.Send(TB_ISBUTTONENABLED, static_cast<WPARAM>(id_)) != 0; }

bool ToolButton::Hidden() const { return bar_.Send(TB_ISBUTTONHIDDEN, static_cast<WPARAM>(id_)) != 0; }

bool ToolButton::Checked() const { return bar_.Send(TB_ISBUTTONCHECKED, static_cast<WPARAM>(id_)) != 0; }

void ToolButton::SetChecked(bool checked) const {
  bar_.Send(TB_CHECKBUTTON, static_cast<WPARAM>(id_), MAKELPARAM(checked, 0));
}

void ToolButton::Click() const {
  if (Enabled())
    SendMessageW(GetParent(bar_.Handle()), WM_COMMAND, MAKEWPARAM(id_, BN_CLICKED),
                 reinterpret_cast<LPARAM>(bar_.Handle()));
}

void ToolBar::Create(const CreateArgs& args, HIMAGELIST images) {
  CreateArgs toolArgs = args;
  // No tooltip window: the buttons have no tooltip texts.
  toolArgs.style |= TBSTYLE_FLAT | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN;
  CreateControl(TOOLBARCLASSNAMEW, toolArgs);
  Send(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
  Send(TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
  int width = 16, height = 16;
  ImageList_GetIconSize(images, &width, &height);
  Send(TB_SETBITMAPSIZE, 0, MAKELPARAM(width, height));
}

void ToolBar::Insert(ToolButton& button, int bitmap, BYTE state, BYTE style) {
  TBBUTTON tbButton{};
  tbButton.iBitmap = bitmap;
  tbButton.idCommand = button.Id();
  tbButton.fsState = state;
  tbButton.fsStyle = style;
  Send(TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&tbButton));
  buttons_.push_back(&button);
}

void ToolBar::AddButton(ToolButton& button, int image) { Insert(button, image, TBSTATE_ENABLED, BTNS_BUTTON); }

void ToolBar::AddCheckButton(ToolButton& button, int image) { Insert(button, image, TBSTATE_ENABLED, BTNS_CHECK); }

void ToolBar::AddSeparator(ToolButton& separator, int width, bool hidden) {
  Insert(separator, width, static_cast<BYTE>(hidden ? TBSTATE_HIDDEN : 0), BTNS_SEP);
}

bool ToolBar::OnCommandReflect(WORD, WORD id) {
  for (ToolButton* button : buttons_)
    if (button->Id() == id) {
      if (button->OnClick) button->OnClick();
      return true;
    }
  return false;
}

}  // namespace ui
