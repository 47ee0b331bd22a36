#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace ui {

// The standard error box: a system message box with the error icon and
// one OK button, showing a UTF-8 message. A period is appended when the
// message's last character sorts above ".".
std::string ErrorBoxText(const std::string& message);
// Modal to what the user sees: owned by the thread's active window (the
// manager or its dialog), else by `owner`, else by the application window;
// every other window of the thread is disabled while it is up, so no
// command can start under it.
void ShowStandardErrorBox(const std::string& message, HWND owner = nullptr);

// Runs an event handler; an exception that escapes it is shown in the
// standard error box and goes no further.
void RunHandler(const std::function<void()>& handler, HWND owner = nullptr);

}  // namespace ui
