#pragma once
// A top-level form owned by the application window, with the modal run of
// the class library: other top-level windows of the thread are disabled,
// messages are dispatched until the modal result is nonzero, then the form
// is hidden, the windows enabled again and the previous window activated.
#include <functional>
#include <vector>

#include "ui/Gdi.h"
#include "ui/Window.h"

namespace ui {

enum class ModalResult { None, Ok, Cancel };
enum class CloseAction { None, Hide, Free, Minimize };

struct CloseEvent {
  CloseAction action;  // the handler may change it; None keeps the form open
};

class Form : public Window {
 public:
  ModalResult ShowModal();
  // How ShowModal shows the form (SW_SHOW unless set: SW_SHOWMAXIMIZED).
  void SetShowCommand(int command) { showCommand_ = command; }
  ModalResult Result() const { return modalResult_; }
  void SetModalResult(ModalResult result) { modalResult_ = result; }
  // Asks the form to close, as its close box does.
  void Close();

  std::function<void(CloseEvent&)> OnClose;
  // Keys sent to the form window itself (key preview is off).
  std::function<void(KeyEvent&)> OnKeyDown;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // The form's font, applied to every child.
  Font font_{L"MS Sans Serif", -11};

 private:
  void CloseModal();
  ModalResult modalResult_ = ModalResult::None;
  int showCommand_ = SW_SHOW;
  bool modal_ = false;
  HWND lastFocus_ = nullptr;
};

// Disables the thread's visible, enabled top-level windows but one for
// its lifetime, as a modal window does.
class ThreadWindowsDisabled {
 public:
  explicit ThreadWindowsDisabled(HWND except = nullptr);
  ~ThreadWindowsDisabled();
  ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
  ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

 private:
  static BOOL CALLBACK DisableOne(HWND window, LPARAM context);
  HWND except_;
  std::vector<HWND> windows_;
};

// Moves the focus with Tab between a form's tab-stop children.
bool HandleTabKey(const MSG& message);

}  // namespace ui
