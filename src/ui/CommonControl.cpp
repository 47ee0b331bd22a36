#include "ui/CommonControl.h"

#include "ui/Application.h"

namespace ui {

void CommonControl::Create(const char* className, const ControlArgs& args, const char* text) {
  Destroy();
  hwnd_ = CreateWindowExA(args.exStyle, className, text, WS_CHILD | WS_VISIBLE | args.style, args.left, args.top,
                          args.width, args.height, args.parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id)), Application->Instance(), nullptr);
}

void CommonControl::Destroy() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

}  // namespace ui
