#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace ui {

// The standard error box: a system message box with the error icon and
// one OK button. A period is appended when the message's last character
// sorts above ".".
std::wstring ErrorBoxText(const std::wstring& message);
// Modal to what the user sees: owned by the thread's active window (the
// manager or its dialog), else by `owner`, else by the application window;
// every other window of the thread is disabled while it is up, so no
// command can start under it.
void ShowStandardErrorBox(const std::wstring& message, HWND owner = nullptr);

// Runs an event handler; an exception that escapes it is shown in the
// standard error box (its text is UTF-8) and goes no further.
void RunHandler(const std::function<void()>& handler, HWND owner = nullptr);

}  // namespace ui
