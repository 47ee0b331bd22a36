#pragma once
#include <string>
#include <vector>

#include "ui/Window.h"

namespace ui {

class StatusBar : public Window {
 public:
  void Create(const CreateArgs& args);
  // Panel widths, left to right.
  void SetPanels(const std::vector<int>& widths);
  // The control paints a changed panel at once (SB_SETTEXT ends in
  // UpdateWindow), so a selection that sets three panels painted the bar
  // three times. The text is set with the bar's redrawing off, and the bar
  // paints once with the window's next paint.
  // A panel shows a few hundred characters at most: longer texts (a value
  // can hold a megabyte) are cut at kLongestText, not measured and drawn
  // whole at every paint.
  void SetText(int panel, const std::wstring& text);
  static constexpr size_t kLongestText = 1024;
  // What the control holds. SB_GETTEXT copies the whole text into a buffer
  // sized from SB_GETTEXTLENGTH, whose length is a WORD: texts are kept
  // far below that by SetText.
  std::wstring Text(int panel) const;
  int PanelWidth(int panel) const {
    return panel >= 0 && static_cast<size_t>(panel) < widths_.size() ? widths_[static_cast<size_t>(panel)] : 0;
  }

 private:
  std::vector<int> widths_;
  std::vector<std::wstring> texts_;  // as set, per panel
};

}  // namespace ui
