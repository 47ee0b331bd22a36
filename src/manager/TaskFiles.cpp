#include "manager/TaskFiles.h"

#include "common/FileTools.h"
#include "manager/ProgramLookup.h"

namespace {

void ReadInto(TaskFile& file) {
  if (ReadWholeFile(file.file, file.bytes)) return;
  file.error = GetLastError();
  if (file.error == ERROR_SUCCESS) file.error = ERROR_READ_FAULT;
  file.bytes.clear();
}

void ReadFolder(const std::wstring& folder, const std::wstring& taskPath, std::vector<TaskFile>& files,
                std::vector<std::wstring>* folders, int depth) {
  // Task folders nest a few levels; a loop of links does not go on.
  if (depth > 32) return;
  std::vector<std::wstring> subfolders;
  FileSearch search(folder + L"\\*");
  if (search.Started() && folders) folders->push_back(folder);
  for (bool more = search.Started(); more; more = search.Next()) {
    const WIN32_FIND_DATAW& entry = search.Current();
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) subfolders.push_back(name);
      continue;
    }
    TaskFile file;
    file.path = taskPath + L"\\" + name;
    file.file = folder + L"\\" + name;
    ReadInto(file);
    files.push_back(std::move(file));
  }
  for (const std::wstring& name : subfolders)
    ReadFolder(folder + L"\\" + name, taskPath + L"\\" + name, files, folders, depth + 1);
}

}  // namespace

std::wstring TaskFolder() {
  wchar_t system[MAX_PATH] = L"";
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return NativeSystemPathHere(std::wstring(system) + L"\\Tasks");
}

std::vector<TaskFile> ReadTaskFiles(const std::wstring& root, std::vector<std::wstring>* folders) {
  std::vector<TaskFile> files;
  if (!root.empty()) ReadFolder(root, std::wstring(), files, folders, 0);
  return files;
}

TaskFile ReadTaskFile(const std::wstring& root, const std::wstring& path) {
  TaskFile file;
  file.path = path;
  file.file = root + path;
  ReadInto(file);
  return file;
}
