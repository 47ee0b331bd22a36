#include "common/Errors.h"

std::string FormatMessageText(const char* pattern, const std::string& argument) {
  std::string text(pattern);
  const auto at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, argument);
  return text;
}
