#pragma once
// The system's edit box and static text.
#include <functional>
#include <string>

#include "ui/Window.h"

namespace ui {

class Edit : public Window {
 public:
  void Create(const CreateArgs& args) { CreateControl(L"EDIT", args); }
};

// An edit box that reports each change of its text, and Esc (which
// clears nothing by itself: the owner decides).
class SearchEdit : public Edit {
 public:
  void Create(const CreateArgs& args);
  // The grey text shown while the box is empty.
  void SetCue(const std::wstring& cue);
  std::function<void()> OnChange, OnEscape;

 protected:
  bool OnCommandReflect(WORD code, WORD id) override;
  bool OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

class Label : public Window {
 public:
  void Create(const CreateArgs& args) { CreateControl(L"STATIC", args); }
  // Widens the label to its text in its font, as designed labels do.
  void FitText();
};

}  // namespace ui
