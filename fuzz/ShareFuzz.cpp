// Share roots, path delimiters and locations' stored form on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/PathText.h"
#include "common/ShareText.h"
#include "manager/Location.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  const std::string root = NetworkShareRoot(path);
  if (root.size() > path.size() || path.compare(0, root.size(), root) != 0) __builtin_trap();
  if (IsNetworkSharePath(path) && NetworkShareRoot(root) != root) __builtin_trap();
  const std::string appended = AppendPathDelimiter(path);
  if (!path.empty() && appended.back() != '\\') __builtin_trap();
  if (StripPathDelimiter(appended).size() + 1 < appended.size()) __builtin_trap();
  if (FolderPart(path) + FileNamePart(path) != path) __builtin_trap();
  HasSubstring(path, root);
  IsNetworkPath(path);
  // A location's stored form reads back as the same place, whatever the text.
  const std::wstring text(path.begin(), path.end());
  const Location location = Location::Parse(text);
  if (location.path.size() > text.size()) __builtin_trap();
  const Location again = Location::Parse(location.Text());
  if (!(again == location) || again.kind != location.kind || again.view != location.view) __builtin_trap();
  return 0;
}
