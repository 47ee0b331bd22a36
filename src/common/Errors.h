#pragma once
#include <stdexcept>
#include <string>

// Base of the errors that commands let escape to the standard error box.
class EVelmoraError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// printf-style formatting of one "%s" message.
std::string FormatMessageText(const char* pattern, const std::string& argument);
