#pragma once
#include <stdexcept>
#include <string>

// Base of the errors that commands let escape to the standard error box.
// The text is UTF-8, so that the exact names in it reach the box.
class EVelmoraError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One "%s" message as UTF-8, from a name in the ANSI code page or in UTF-16.
std::string FormatMessageText(const char* pattern, const std::string& argument);
std::string FormatMessageText(const char* pattern, const std::wstring& argument);
