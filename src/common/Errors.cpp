#include "common/Errors.h"

#include "common/Unicode.h"

std::string FormatMessageText(const char* pattern, const std::wstring& argument) {
  std::string text(pattern);
  const auto at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, Utf8FromWide(argument));
  return text;
}

std::string FormatMessageText(const char* pattern, const std::string& argument) {
  return FormatMessageText(pattern, WideFromAnsi(argument));
}
