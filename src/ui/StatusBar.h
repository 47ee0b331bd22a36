#pragma once
#include <string>
#include <vector>

#include "ui/CommonControl.h"

namespace ui {

class StatusBar : public CommonControl {
 public:
  void Create(const ControlArgs& args);
  // Panel widths, left to right.
  void SetPanels(const std::vector<int>& widths);
  void SetText(int panel, const std::string& text) { Send(SB_SETTEXTA, panel, reinterpret_cast<LPARAM>(text.c_str())); }
  std::string Text(int panel) const;
  int PanelWidth(int panel) const { return panel < int(widths_.size()) ? widths_[panel] : 0; }

 private:
  std::vector<int> widths_;
};

}  // namespace ui
