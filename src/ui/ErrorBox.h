#pragma once
#include <functional>
#include <string>

namespace ui {

// The standard error box: a system message box with the error icon and
// one OK button, owned by the application window. A period is appended
// when the message's last character sorts above ".".
std::string ErrorBoxText(const std::string& message);
void ShowStandardErrorBox(const std::string& message);

// Runs an event handler; an exception that escapes it is shown in the
// standard error box and goes no further.
void RunHandler(const std::function<void()>& handler);

}  // namespace ui
