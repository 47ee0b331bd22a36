// The path helpers on either kind of code page: the folder and the name
// parts split a path at a character of its own and give it back whole.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "common/PathText.h"

namespace {

// True when `at` starts a character of `text`.
bool IsCharacterStart(const std::string& text, size_t at) {
  size_t position = 0;
  while (position < at) position += IsLeadByte(static_cast<unsigned char>(text[position])) && position + 1 < text.size() ? 2 : 1;
  return position == at;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  ChooseCodePage(data[0]);
  const std::string path(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string folder = FolderPart(path), name = FileNamePart(path);
  if (folder + name != path) __builtin_trap();
  if (!IsCharacterStart(path, folder.size())) __builtin_trap();
  if (!folder.empty() && folder.back() != '\\' && folder.back() != ':') __builtin_trap();
  // A lone lead byte at the end is no text a system gives: a backslash
  // appended to it becomes its trail byte.
  const bool loneLead = !path.empty() && IsCharacterStart(path, path.size() - 1) &&
                        IsLeadByte(static_cast<unsigned char>(path.back()));
  const std::string appended = AppendPathDelimiter(path);
  if (!path.empty() && !loneLead && (appended.back() != '\\' || FileNamePart(appended) != "")) __builtin_trap();
  if (appended.compare(0, path.size(), path) != 0) __builtin_trap();
  const std::string stripped = StripPathDelimiter(path);
  if (stripped != path && stripped + "\\" != path) __builtin_trap();
  return 0;
}
