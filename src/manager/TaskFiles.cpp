#include "manager/TaskFiles.h"

#include "common/FileTools.h"
#include "manager/ProgramLookup.h"

namespace {

// A folder whose file names come in `found`, `.` and `..` left out.
class FolderListing {
 public:
  explicit FolderListing(const std::wstring& folder)
      : find_(FindFirstFileExW(LongPathForm(folder + L"\\*").c_str(), FindExInfoBasic, &found_, FindExSearchNameMatch,
                               nullptr, 0)) {}
  ~FolderListing() {
    if (find_ != INVALID_HANDLE_VALUE) FindClose(find_);
  }
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;
  bool Next(WIN32_FIND_DATAW& entry) {
    while (find_ != INVALID_HANDLE_VALUE) {
      if (first_) {
        first_ = false;
      } else if (!FindNextFileW(find_, &found_)) {
        return false;
      }
      const std::wstring name = found_.cFileName;
      if (name == L"." || name == L"..") continue;
      entry = found_;
      return true;
    }
    return false;
  }

 private:
  WIN32_FIND_DATAW found_{};
  HANDLE find_;
  bool first_ = true;
};

void ReadFolder(const std::wstring& folder, const std::wstring& taskPath, std::vector<TaskFile>& files, int depth) {
  // Task folders nest a few levels; a loop of links does not go on.
  if (depth > 32) return;
  std::vector<std::wstring> subfolders;
  FolderListing listing(folder);
  WIN32_FIND_DATAW entry;
  while (listing.Next(entry)) {
    const std::wstring name = entry.cFileName;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) subfolders.push_back(name);
      continue;
    }
    TaskFile file;
    file.path = taskPath + L"\\" + name;
    file.file = folder + L"\\" + name;
    if (!ReadWholeFile(file.file, file.bytes)) {
      file.error = GetLastError();
      if (file.error == ERROR_SUCCESS) file.error = ERROR_READ_FAULT;
      file.bytes.clear();
    }
    files.push_back(std::move(file));
  }
  for (const std::wstring& name : subfolders) ReadFolder(folder + L"\\" + name, taskPath + L"\\" + name, files, depth + 1);
}

}  // namespace

std::wstring TaskFolder() {
  wchar_t system[MAX_PATH] = L"";
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return NativeSystemPathHere(std::wstring(system) + L"\\Tasks");
}

std::vector<TaskFile> ReadTaskFiles(const std::wstring& root) {
  std::vector<TaskFile> files;
  if (!root.empty()) ReadFolder(root, std::wstring(), files, 0);
  return files;
}
