#include "ui/ErrorBox.h"

#include <windows.h>

#include <exception>

#include "ui/Application.h"

namespace ui {

std::string ErrorBoxText(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

void ShowStandardErrorBox(const std::string& message) {
  const std::string text = ErrorBoxText(message);
  MessageBoxA(TheApplication ? TheApplication->Handle() : nullptr, text.c_str(), "Error", MB_OK | MB_ICONERROR);
}

void RunHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowStandardErrorBox(error.what());
  } catch (...) {
    ShowStandardErrorBox("Unexpected error");
  }
}

}  // namespace ui
