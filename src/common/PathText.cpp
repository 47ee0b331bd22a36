#include "common/PathText.h"

#include "common/LeadBytes.h"

namespace {

// On a double-byte code page a trail byte may be 0x5C, a backslash's
// code: byte text is walked character by character, a lead byte and its
// trail byte being one. No UTF-16 unit of another character is a "\".
size_t CharLength(const std::string& text, size_t at) {
  return IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}
size_t CharLength(const std::wstring&, size_t) { return 1; }

// The position of the last "\" (or ":" too) that is a character of its
// own, or npos.
template <class Text>
size_t LastSeparator(const Text& path, bool colonToo) {
  size_t last = Text::npos;
  for (size_t at = 0; at < path.size(); at += CharLength(path, at))
    if (path[at] == '\\' || (colonToo && path[at] == ':')) last = at;
  return last;
}

template <class Text>
bool EndsWithBackslash(const Text& path) {
  return !path.empty() && path.back() == '\\' && LastSeparator(path, false) == path.size() - 1;
}

template <class Text>
Text AppendDelimiter(const Text& path) {
  using Char = typename Text::value_type;
  if (path.empty() || EndsWithBackslash(path)) return path;
  if (path.size() == 1) {
    const Char upper = (path[0] >= 'a' && path[0] <= 'z') ? Char(path[0] - 32) : path[0];
    if (upper >= 'A' && upper <= 'Z') return path + Char(':') + Char('\\');
  }
  return path + Char('\\');
}

template <class Text>
Text StripDelimiter(const Text& path) {
  if (EndsWithBackslash(path)) return path.substr(0, path.size() - 1);
  return path;
}

template <class Text>
bool IsNetwork(const Text& path) {
  return path.size() > 2 && path[0] == '\\' && path[1] == '\\';
}

template <class Text>
Text NamePart(const Text& path) {
  const auto last = LastSeparator(path, true);
  return last == Text::npos ? path : path.substr(last + 1);
}

template <class Text>
Text FolderOf(const Text& path) {
  const auto last = LastSeparator(path, true);
  return last == Text::npos ? Text() : path.substr(0, last + 1);
}

}  // namespace

std::string AppendPathDelimiter(const std::string& path) { return AppendDelimiter(path); }
std::wstring AppendPathDelimiter(const std::wstring& path) { return AppendDelimiter(path); }
std::string StripPathDelimiter(const std::string& path) { return StripDelimiter(path); }
std::wstring StripPathDelimiter(const std::wstring& path) { return StripDelimiter(path); }
bool IsNetworkPath(const std::string& path) { return IsNetwork(path); }
bool IsNetworkPath(const std::wstring& path) { return IsNetwork(path); }

bool HasSubstring(const std::string& text, const std::string& part) {
  return !part.empty() && text.find(part) != std::string::npos;
}

std::string FileNamePart(const std::string& path) { return NamePart(path); }
std::wstring FileNamePart(const std::wstring& path) { return NamePart(path); }
std::string FolderPart(const std::string& path) { return FolderOf(path); }
std::wstring FolderPart(const std::wstring& path) { return FolderOf(path); }
