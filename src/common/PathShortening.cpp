#include "common/PathShortening.h"

#include "common/LeadBytes.h"
#include "common/PathText.h"

void DropLeadingFolder(std::string& folder) {
  if (folder == "\\") {
    folder.clear();
    return;
  }
  const bool leadingDelimiter = !folder.empty() && folder[0] == '\\';
  if (leadingDelimiter) folder.erase(0, 1);
  // A leading "." is taken for the "...\" that an earlier pass put there.
  if (!folder.empty() && folder[0] == '.') folder.erase(0, 4);
  size_t pos = 0;
  while (pos < folder.size() && folder[pos] != '\\')
    pos += (IsLeadByte(static_cast<unsigned char>(folder[pos])) && pos + 1 < folder.size()) ? 2 : 1;
  if (pos < folder.size())
    folder = "...\\" + folder.substr(pos + 1);
  else
    folder.clear();
  if (leadingDelimiter) folder.insert(0, 1, '\\');
}

std::string ShortenPath(const std::string& path, const TextWidthFn& textWidth, int maxWidth) {
  std::string result = path;
  std::string folder = FolderPart(path);
  const std::string name = FileNamePart(path);
  std::string drive;
  if (folder.size() >= 2 && folder[1] == ':') {
    drive = folder.substr(0, 2);
    folder.erase(0, 2);
  }
  while ((!folder.empty() || !drive.empty()) && textWidth(result) > maxWidth) {
    if (folder == "\\...\\") {
      drive.clear();
      folder = "...\\";
    } else if (folder.empty()) {
      drive.clear();
    } else {
      DropLeadingFolder(folder);
    }
    result = drive + folder + name;
  }
  return result;
}
