#include "common/ShareText.h"

#include "common/PathText.h"

std::string NetworkShareRoot(const std::string& path) {
  const auto pair = path.find("\\\\");
  if (pair == std::string::npos) return path;
  const auto serverEnd = path.find('\\', pair + 2);
  if (serverEnd == std::string::npos) return path;
  const auto shareEnd = path.find('\\', serverEnd + 1);
  if (shareEnd == std::string::npos) return path;
  return path.substr(0, shareEnd);
}

bool IsNetworkSharePath(const std::string& path) {
  const std::string stripped = StripPathDelimiter(path);
  const auto pair = stripped.find("\\\\");
  return pair != std::string::npos && stripped.find('\\', pair + 2) != std::string::npos;
}
