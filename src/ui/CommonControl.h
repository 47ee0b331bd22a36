#pragma once
// A window of a system control class that the wrapper creates and
// destroys. The parent forwards WM_NOTIFY to the control it came from.
#include <windows.h>
#include <commctrl.h>

namespace ui {

struct ControlArgs {
  HWND parent = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  int left = 0, top = 0, width = 0, height = 0;
  int id = 0;
};

class CommonControl {
 public:
  CommonControl() = default;
  virtual ~CommonControl() { Destroy(); }
  CommonControl(const CommonControl&) = delete;
  CommonControl& operator=(const CommonControl&) = delete;

  HWND Handle() const { return hwnd_; }
  operator HWND() const { return hwnd_; }
  void SetBounds(int left, int top, int width, int height) { MoveWindow(hwnd_, left, top, width, height, TRUE); }
  void Destroy();
  // The parent hands over notifications of this control; true when handled.
  virtual bool HandleNotify(NMHDR*, LRESULT&) { return false; }

 protected:
  void Create(const char* className, const ControlArgs& args, const char* text = "");
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return SendMessageA(hwnd_, message, wParam, lParam);
  }

 private:
  HWND hwnd_ = nullptr;
};

}  // namespace ui
