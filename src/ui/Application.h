#pragma once
// The application object of the windowing layer. In a library it has no
// window of its own: its handle is 0 until the manager sets it to the
// host's window for one run.
#include <windows.h>

namespace ui {

class Application {
 public:
  HWND Handle() const { return handle_; }
  void SetHandle(HWND handle) { handle_ = handle; }
  // The module whose resources the library's windows load.
  HINSTANCE Instance() const { return instance_; }
  void SetInstance(HINSTANCE instance) { instance_ = instance; }

 private:
  HWND handle_ = nullptr;
  HINSTANCE instance_ = nullptr;
};

// Created by the windowing layer's start-up, before the library's own units.
extern Application* TheApplication;

void CreateApplicationObjects();
void FreeApplicationObjects();

}  // namespace ui
