#include "common/ShareText.h"

#include "common/PathText.h"

namespace {

template <class Text>
Text ShareRoot(const Text& path) {
  const typename Text::value_type pairOfSlashes[] = {'\\', '\\', 0};
  const auto pair = path.find(pairOfSlashes);
  if (pair == Text::npos) return path;
  const auto serverEnd = path.find('\\', pair + 2);
  if (serverEnd == Text::npos) return path;
  const auto shareEnd = path.find('\\', serverEnd + 1);
  if (shareEnd == Text::npos) return path;
  return path.substr(0, shareEnd);
}

template <class Text>
bool IsSharePath(const Text& path) {
  const typename Text::value_type pairOfSlashes[] = {'\\', '\\', 0};
  const Text stripped = StripPathDelimiter(path);
  const auto pair = stripped.find(pairOfSlashes);
  return pair != Text::npos && stripped.find('\\', pair + 2) != Text::npos;
}

}  // namespace

std::string NetworkShareRoot(const std::string& path) { return ShareRoot(path); }
std::wstring NetworkShareRoot(const std::wstring& path) { return ShareRoot(path); }
bool IsNetworkSharePath(const std::string& path) { return IsSharePath(path); }
bool IsNetworkSharePath(const std::wstring& path) { return IsSharePath(path); }
