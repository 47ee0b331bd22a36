#include "common/PathShortening.h"

#include "common/LeadBytes.h"
#include "common/PathText.h"

namespace {

size_t CharLength(const std::string& text, size_t at) {
  return IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}
size_t CharLength(const std::wstring&, size_t) { return 1; }

template <class Text>
Text Ellipsis() {
  const char dots[] = "...\\";
  return Text(dots, dots + 4);
}

template <class Text>
void DropFolder(Text& folder) {
  using Char = typename Text::value_type;
  if (folder.size() == 1 && folder[0] == '\\') {
    folder.clear();
    return;
  }
  const bool leadingDelimiter = !folder.empty() && folder[0] == '\\';
  if (leadingDelimiter) folder.erase(0, 1);
  // A leading "." is taken for the "...\" that an earlier pass put there.
  if (!folder.empty() && folder[0] == '.') folder.erase(0, 4);
  size_t pos = 0;
  while (pos < folder.size() && folder[pos] != '\\') pos += CharLength(folder, pos);
  if (pos < folder.size())
    folder = Ellipsis<Text>() + folder.substr(pos + 1);
  else
    folder.clear();
  if (leadingDelimiter) folder.insert(folder.begin(), Char('\\'));
}

template <class Text, class WidthFn>
Text Shorten(const Text& path, const WidthFn& textWidth, int maxWidth) {
  Text result = path;
  Text folder = FolderPart(path);
  const Text name = FileNamePart(path);
  Text drive;
  if (folder.size() >= 2 && folder[1] == ':') {
    drive = folder.substr(0, 2);
    folder.erase(0, 2);
  }
  const Text collapsed = Text(1, '\\') + Ellipsis<Text>();
  while ((!folder.empty() || !drive.empty()) && textWidth(result) > maxWidth) {
    if (folder == collapsed) {
      drive.clear();
      folder = Ellipsis<Text>();
    } else if (folder.empty()) {
      drive.clear();
    } else {
      DropFolder(folder);
    }
    result = drive + folder + name;
  }
  return result;
}

}  // namespace

void DropLeadingFolder(std::string& folder) { DropFolder(folder); }
void DropLeadingFolder(std::wstring& folder) { DropFolder(folder); }

std::string ShortenPath(const std::string& path, const TextWidthFn& textWidth, int maxWidth) {
  return Shorten(path, textWidth, maxWidth);
}

std::wstring ShortenPath(const std::wstring& path, const WideTextWidthFn& textWidth, int maxWidth) {
  return Shorten(path, textWidth, maxWidth);
}
