#pragma once
// The system's edit box and static text.
#include "ui/Window.h"

namespace ui {

class Edit : public Window {
 public:
  void Create(const CreateArgs& args) { CreateControl("EDIT", args); }
};

class Label : public Window {
 public:
  void Create(const CreateArgs& args) { CreateControl("STATIC", args); }
  // Widens the label to its text in its font, as designed labels do.
  void FitText();
};

}  // namespace ui
