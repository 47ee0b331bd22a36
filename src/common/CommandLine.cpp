#include "common/CommandLine.h"

namespace {

template <class Text>
Text Trimmed(const Text& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == Text::npos) return Text();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

template <class Text>
BasicProgramAndArguments<Text> Split(const Text& commandLine, const std::function<bool(const Text&)>& isFile) {
  const Text text = Trimmed(commandLine);
  if (!text.empty() && text[0] == '"') {
    const size_t close = text.find('"', 1);
    if (close == Text::npos) return {text.substr(1), Text()};
    return {text.substr(1, close - 1), Trimmed(text.substr(close + 1))};
  }
  if (isFile(text)) return {text, Text()};
  for (size_t space = text.find(' '); space != Text::npos; space = text.find(' ', space + 1)) {
    const Text candidate = text.substr(0, space);
    if (isFile(candidate)) return {candidate, Trimmed(text.substr(space + 1))};
  }
  return {text, Text()};
}

}  // namespace

ProgramAndArguments SplitCommandLine(const std::string& commandLine,
                                     const std::function<bool(const std::string&)>& isFile) {
  return Split(commandLine, isFile);
}

WideProgramAndArguments SplitCommandLine(const std::wstring& commandLine,
                                         const std::function<bool(const std::wstring&)>& isFile) {
  return Split(commandLine, isFile);
}
