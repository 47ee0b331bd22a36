#include "common/FileTools.h"

#include "common/nettools.h"

bool FileIsPresent(const std::string& path) {
  // A drive without a medium gives a failed search, not a system dialog.
  ErrorModeScope errorMode(SEM_FAILCRITICALERRORS);
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderIsPresent(const std::string& path) {
  if (IsNetworkPath(path) && !ConnectNetworkShare(path, true)) return false;
  DWORD attributes;
  {
    ErrorModeScope errorMode(SEM_FAILCRITICALERRORS);
    attributes = GetFileAttributesA(path.c_str());
  }
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string ShortenPathToWidth(const std::string& path, HDC dc, int maxWidth) {
  const auto textWidth = [dc](const std::string& text) {
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return static_cast<int>(size.cx);
  };
  return ShortenPath(path, textWidth, maxWidth);
}
