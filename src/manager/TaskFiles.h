#pragma once
// The task files under the system's Tasks folder, one per registered task
// (`<Tasks>\<folder>\<name>`), read whole. The Task Scheduler keeps them
// itself; they are read here where its own listing cannot be had, and to
// find the tasks it does not list.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct TaskFile {
  std::wstring path;  // the task's path as the Task Scheduler names it: "\Folder\Name"
  std::wstring file;  // where the file is, as this process reaches it
  std::vector<std::uint8_t> bytes;
  DWORD error = ERROR_SUCCESS;  // why the file could not be read, if it could not
};

// The system's Tasks folder as this process reaches it: a 32-bit process
// on 64-bit Windows through Sysnative (System32\Tasks is redirected).
std::wstring TaskFolder();
// Every file below `root`, in each folder's order, its subfolders after
// its files; a folder that cannot be listed is passed over. `folders`, when
// given, gets every folder listed (`root` first) as this process reaches it.
std::vector<TaskFile> ReadTaskFiles(const std::wstring& root, std::vector<std::wstring>* folders = nullptr);
// One task's file (`path` as the Task Scheduler names it) under `root`.
TaskFile ReadTaskFile(const std::wstring& root, const std::wstring& path);
