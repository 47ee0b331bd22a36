#include "common/PathText.h"

#include "common/LeadBytes.h"

namespace {

// On a double-byte code page a trail byte may be 0x5C, a backslash's
// code: the text is walked character by character, a lead byte and its
// trail byte being one.
size_t CharLength(const std::string& text, size_t at) {
  return IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

// The position of the last "\" (or ":" too) that is a character of its
// own, or npos.
size_t LastSeparator(const std::string& path, bool colonToo) {
  size_t last = std::string::npos;
  for (size_t at = 0; at < path.size(); at += CharLength(path, at))
    if (path[at] == '\\' || (colonToo && path[at] == ':')) last = at;
  return last;
}

bool EndsWithBackslash(const std::string& path) {
  return !path.empty() && path.back() == '\\' && LastSeparator(path, false) == path.size() - 1;
}

}  // namespace

std::string AppendPathDelimiter(const std::string& path) {
  if (path.empty() || EndsWithBackslash(path)) return path;
  if (path.size() == 1) {
    const char upper = (path[0] >= 'a' && path[0] <= 'z') ? char(path[0] - 32) : path[0];
    if (upper >= 'A' && upper <= 'Z') return path + ":\\";
  }
  return path + '\\';
}

std::string StripPathDelimiter(const std::string& path) {
  if (EndsWithBackslash(path)) return path.substr(0, path.size() - 1);
  return path;
}

bool IsNetworkPath(const std::string& path) {
  return path.size() > 2 && path[0] == '\\' && path[1] == '\\';
}

bool HasSubstring(const std::string& text, const std::string& part) {
  return !part.empty() && text.find(part) != std::string::npos;
}

std::string FileNamePart(const std::string& path) {
  const auto last = LastSeparator(path, true);
  return last == std::string::npos ? path : path.substr(last + 1);
}

std::string FolderPart(const std::string& path) {
  const auto last = LastSeparator(path, true);
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}
