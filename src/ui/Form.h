#pragma once
// A top-level form owned by the application window, with the modal run of
// the class library: other top-level windows of the thread are disabled,
// messages are dispatched until the modal result is nonzero, then the form
// is hidden, the windows enabled again and the previous window activated.
#include <functional>

#include "ui/Gdi.h"
#include "ui/WinControl.h"

constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

struct KeyEvent {
  WORD& key;    // the handler may change it
  bool shift, ctrl, alt;
};

class TForm : public TWinControl {
 public:
  int ShowModal();
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  // Asks the form to close, as its close box does.
  void Close();

  std::function<void(TCloseAction&)> OnClose;
  // Keys sent to the form window itself (key preview is off).
  std::function<void(KeyEvent&)> OnKeyDown;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // The form's font, applied to every child.
  Font font_{"MS Sans Serif", -11};

 private:
  void CloseModal();
  int modalResult_ = mrNone;
  bool modal_ = false;
  HWND lastFocus_ = nullptr;
};

// Moves the focus with Tab between a form's tab-stop children.
bool HandleTabKey(const MSG& message);
KeyEvent MakeKeyEvent(WORD& key);
