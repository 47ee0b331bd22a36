#pragma once
// The system's edit box and static text.
#include "ui/Window.h"

namespace ui {

class Edit : public Window {
 public:
  void Create(const CreateArgs& args) { CreateControl(L"EDIT", args); }
};

class Label : public Window {
 public:
  void Create(const CreateArgs& args) { CreateControl(L"STATIC", args); }
  // Widens the label to its text in its font, as designed labels do.
  void FitText();
};

}  // namespace ui
