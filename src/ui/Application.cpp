#include "ui/Application.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

void TScreen::SetCursor(int cursor) {
  cursor_ = cursor;
  ::SetCursor(LoadCursor(nullptr, cursor == crHourGlass ? IDC_WAIT : IDC_ARROW));
}

void CreateApplicationObjects() {
  Application = new TApplication;
  Screen = new TScreen;
}

void FreeApplicationObjects() {
  delete Screen;
  Screen = nullptr;
  delete Application;
  Application = nullptr;
}
