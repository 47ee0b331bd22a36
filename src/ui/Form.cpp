#include "ui/Form.h"

#include <optional>

namespace ui {

ThreadWindowsDisabled::ThreadWindowsDisabled(HWND except) : except_(except) {
  EnumThreadWindows(GetCurrentThreadId(), &DisableOne, reinterpret_cast<LPARAM>(this));
}

ThreadWindowsDisabled::~ThreadWindowsDisabled() {
  for (HWND window : windows_)
    if (IsWindow(window)) EnableWindow(window, TRUE);
}

BOOL CALLBACK ThreadWindowsDisabled::DisableOne(HWND window, LPARAM context) {
  auto* disabled = reinterpret_cast<ThreadWindowsDisabled*>(context);
  if (window != disabled->except_ && IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    disabled->windows_.push_back(window);
  }
  return TRUE;
}

bool HandleTabKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_TAB) return false;
  HWND top = GetAncestor(message.hwnd, GA_ROOT);
  if (!top || GetKeyState(VK_CONTROL) < 0) return false;
  HWND next = GetNextDlgTabItem(top, GetFocus(), GetKeyState(VK_SHIFT) < 0);
  if (next) SetFocus(next);
  return next != nullptr;
}

ModalResult Form::ShowModal() {
  // However the run ends, also by an exception: the other windows are
  // enabled again, the form hidden and the previous window activated, the
  // order EndDialog keeps: hidden first, the form would hand the activation
  // to no window (its owner still disabled) and then take it back, each
  // change a round of focus messages with the display.
  struct EndOfRun {
    Form& form;
    HWND previousActive;
    std::optional<ThreadWindowsDisabled> disabled;
    ~EndOfRun() {
      disabled.reset();
      if (form.Handle())
        SetWindowPos(form.Handle(), nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      if (previousActive && IsWindow(previousActive)) SetActiveWindow(previousActive);
      form.modal_ = false;
    }
  } end{*this, GetActiveWindow(), std::nullopt};
  end.disabled.emplace(Handle());
  modal_ = true;
  modalResult_ = ModalResult::None;
  ShowWindow(Handle(), showCommand_);
  SetActiveWindow(Handle());

  MSG message;
  while (modalResult_ == ModalResult::None) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      // WM_QUIT belongs to the host's own loop: pass it on.
      PostQuitMessage(static_cast<int>(message.wParam));
      modalResult_ = ModalResult::Cancel;
      break;
    }
    if (!HandleTabKey(message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (modalResult_ != ModalResult::None) CloseModal();
  }

  return modalResult_;
}

void Form::CloseModal() {
  CloseEvent event{CloseAction::Hide};
  if (OnClose) OnClose(event);
  if (event.action == CloseAction::None) modalResult_ = ModalResult::None;
}

void Form::Close() {
  if (modal_) {
    modalResult_ = ModalResult::Cancel;
    return;
  }
  CloseEvent event{CloseAction::Hide};
  if (OnClose) OnClose(event);
  if (event.action != CloseAction::None) ShowWindow(Handle(), SW_HIDE);
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_ACTIVATE:
      // Focus returns to the control that had it, or goes to the first
      // control in tab order.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(Handle(), focus)) lastFocus_ = focus;
      } else {
        HWND target = lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : GetNextDlgTabItem(Handle(), nullptr, FALSE);
        if (target) SetFocus(target);
      }
      return 0;
    case WM_KEYDOWN:
      if (OnKeyDown) {
        KeyEvent event = KeyEventOf(static_cast<WORD>(wParam));
        OnKeyDown(event);
      }
      return 0;
    default:
      return DefaultHandler(message, wParam, lParam);
  }
}

}  // namespace ui
