#pragma once
#include <stdexcept>
#include <string>

// Base of the errors that commands let escape to the standard error box.
// The text is UTF-8, so that the exact names in it reach the box.
// It keeps the Win32 code of the failure that raised it (0 when none).
class EVelmoraError : public std::runtime_error {
 public:
  explicit EVelmoraError(const std::string& message, long code = 0) : std::runtime_error(message), code_(code) {}
  long Code() const { return code_; }

 private:
  long code_;
};

// One "%s" message as UTF-8, from a name in the ANSI code page or in UTF-16.
std::string FormatMessageText(const char* pattern, const std::string& argument);
std::string FormatMessageText(const char* pattern, const std::wstring& argument);
