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

ToolButton& ToolBar::Insert(int id, int bitmap, BYTE state, BYTE style) {
  buttons_.push_back(std::make_unique<ToolButton>(*this, id));
  TBBUTTON tbButton{};
  tbButton.iBitmap = bitmap;
  tbButton.idCommand = id;
  tbButton.fsState = state;
  tbButton.fsStyle = style;
  Send(TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&tbButton));
  return *buttons_.back();
}

ToolButton& ToolBar::AddButton(int id, int image, bool check) {
  return Insert(id, image, TBSTATE_ENABLED, static_cast<BYTE>(check ? BTNS_CHECK : BTNS_BUTTON));
}

ToolButton& ToolBar::AddSeparator(int id, int width, bool hidden) {
  return Insert(id, width, static_cast<BYTE>(hidden ? TBSTATE_HIDDEN : 0), BTNS_SEP);
}

ToolButton* ToolBar::ButtonOf(int id) const {
  for (const auto& button : buttons_)
    if (button->Id() == id) return button.get();
  return nullptr;
}

bool ToolBar::OnCommandReflect(WORD, WORD id) {
  ToolButton* button = ButtonOf(id);
  if (!button) return false;
  if (button->OnClick) button->OnClick();
  return true;
}

}  // namespace ui
