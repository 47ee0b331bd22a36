#include "ui/Application.h"

namespace ui {

Application* TheApplication = nullptr;

void CreateApplicationObjects() {
  TheApplication = new Application;
}

void FreeApplicationObjects() {
  delete TheApplication;
  TheApplication = nullptr;
}

}  // namespace ui
