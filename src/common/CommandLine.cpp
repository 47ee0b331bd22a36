#include "common/CommandLine.h"

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

ProgramAndArguments SplitCommandLine(const std::string& commandLine,
                                     const std::function<bool(const std::string&)>& isFile) {
  const std::string text = Trimmed(commandLine);
  if (!text.empty() && text[0] == '"') {
    const size_t close = text.find('"', 1);
    if (close == std::string::npos) return {text.substr(1), std::string()};
    return {text.substr(1, close - 1), Trimmed(text.substr(close + 1))};
  }
  if (isFile(text)) return {text, std::string()};
  for (size_t space = text.find(' '); space != std::string::npos; space = text.find(' ', space + 1)) {
    const std::string candidate = text.substr(0, space);
    if (isFile(candidate)) return {candidate, Trimmed(text.substr(space + 1))};
  }
  return {text, std::string()};
}
