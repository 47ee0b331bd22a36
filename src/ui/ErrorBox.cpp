#include "ui/ErrorBox.h"

#include <exception>

#include "common/Unicode.h"
#include "ui/Application.h"
#include "ui/Form.h"

namespace ui {

std::string ErrorBoxText(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

void ShowStandardErrorBox(const std::string& message, HWND owner) {
  const std::string text = ErrorBoxText(message);
  HWND active = GetActiveWindow();
  if (active && IsWindowVisible(active))
    owner = active;
  else if (!owner && TheApplication)
    owner = TheApplication->Handle();
  ThreadWindowsDisabled disabled;
  MessageBoxW(owner, WideFromUtf8(text).c_str(), L"Error", MB_OK | MB_ICONERROR);
}

void RunHandler(const std::function<void()>& handler, HWND owner) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowStandardErrorBox(error.what(), owner);
  } catch (...) {
    ShowStandardErrorBox("Unexpected error", owner);
  }
}

}  // namespace ui
