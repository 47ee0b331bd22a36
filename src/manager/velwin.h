#pragma once
// The manager window: a sizeable top-level form whose client area holds
// the manager frame.
#include <memory>

#include "manager/velframe.h"
#include "ui/Form.h"

class TVelmoraWin : public ui::Form {
 public:
  TVelmoraWin();
  ~TVelmoraWin() override;

  std::unique_ptr<TVelmora> Velmora;

  void FormCreate();
  void FormClose(ui::CloseEvent& event);
  void VelmoralvAutoRunKeyDown(ui::KeyEvent& event);
  void VelmoratbDeleteClick();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
};

// Opens the manager modally, owned by `wnd`, and returns when it is freed.
void ShowManagerWindow(HWND wnd);
