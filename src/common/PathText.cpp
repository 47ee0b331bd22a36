#include "common/PathText.h"

std::string AppendPathDelimiter(const std::string& path) {
  if (path.empty() || path.back() == '\\') return path;
  if (path.size() == 1) {
    const char upper = (path[0] >= 'a' && path[0] <= 'z') ? char(path[0] - 32) : path[0];
    if (upper >= 'A' && upper <= 'Z') return path + ":\\";
  }
  return path + '\\';
}

std::string StripPathDelimiter(const std::string& path) {
  if (!path.empty() && path.back() == '\\') return path.substr(0, path.size() - 1);
  return path;
}

bool IsNetworkPath(const std::string& path) {
  return path.size() > 2 && path[0] == '\\' && path[1] == '\\';
}

bool HasSubstring(const std::string& text, const std::string& part) {
  return !part.empty() && text.find(part) != std::string::npos;
}

std::string FileNamePart(const std::string& path) {
  const auto last = path.find_last_of("\\:");
  return last == std::string::npos ? path : path.substr(last + 1);
}

std::string FolderPart(const std::string& path) {
  const auto last = path.find_last_of("\\:");
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}
