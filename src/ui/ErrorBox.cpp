#include "ui/ErrorBox.h"

#include <exception>

#include "common/Unicode.h"
#include "ui/Application.h"
#include "ui/Form.h"

namespace ui {

std::wstring ErrorBoxText(const std::wstring& message) {
  std::wstring text = message;
  if (!text.empty() && text.back() > L'.') text += L'.';
  return text;
}

void ShowStandardErrorBox(const std::wstring& message, HWND owner) {
  const std::wstring text = ErrorBoxText(message);
  HWND active = GetActiveWindow();
  if (active && IsWindowVisible(active))
    owner = active;
  else if (!owner && TheApplication)
    owner = TheApplication->Handle();
  ThreadWindowsDisabled disabled;
  MessageBoxW(owner, text.c_str(), L"Error", MB_OK | MB_ICONERROR);
}

void RunHandler(const std::function<void()>& handler, HWND owner) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowStandardErrorBox(WideFromUtf8(error.what()), owner);
  } catch (...) {
    ShowStandardErrorBox(L"Unexpected error", owner);
  }
}

}  // namespace ui
