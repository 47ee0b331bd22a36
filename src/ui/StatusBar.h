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
  void SetText(int panel, const std::wstring& text) {
    Send(SB_SETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(text.c_str()));
  }
  std::wstring Text(int panel) const;
  int PanelWidth(int panel) const {
    return panel >= 0 && static_cast<size_t>(panel) < widths_.size() ? widths_[static_cast<size_t>(panel)] : 0;
  }

 private:
  std::vector<int> widths_;
};

}  // namespace ui
