#pragma once
// The manager window: a sizeable top-level form whose client area holds
// the manager frame.
#include <memory>

#include "manager/WindowLayout.h"
#include "ui/Form.h"

// The frame the window holds (velframe.h); the plug-in sees only the window.
class TVelmora;

class TVelmoraWin : public ui::Form {
 public:
  TVelmoraWin();
  ~TVelmoraWin() override;

  std::unique_ptr<TVelmora> Velmora;

  void FormCreate();
  void FormClose(ui::CloseEvent& event);

  // The window's size, place and state, the tree's width, the columns'
  // widths and the sort, as they are now.
  WindowLayout CurrentLayout() const;
  // Gives a saved layout back, before the window is shown; a place off
  // every monitor moves onto the one `host` is on.
  void ApplyLayout(const WindowLayout& saved, HWND host);
  void FitFirstOpening(HWND host);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
};

// Opens the manager modally, owned by `wnd`, and returns when it is freed.
void ShowManagerWindow(HWND wnd);
