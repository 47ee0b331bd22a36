#pragma once
// The Task Scheduler's own interface (ITaskService) for the thread that
// makes the object: COM is set up for the thread while it lives, the
// service is connected on first need. Every call answers an HRESULT; a
// task is named by its path ("\Folder\Name").
#include <windows.h>

#include <string>
#include <vector>

#include "common/ComPtr.h"

struct ITaskService;
struct ITaskFolder;
struct IRegisteredTask;

struct ListedTask {
  std::wstring path;
  std::wstring xml;
};

class TaskService {
 public:
  TaskService();
  ~TaskService();
  TaskService(const TaskService&) = delete;
  TaskService& operator=(const TaskService&) = delete;

  // The service may not answer for some seconds while it starts: it is
  // asked again until `patienceMs` have passed.
  HRESULT Connect(DWORD patienceMs);
  // Every registered task of every folder, the hidden ones too, with its
  // definition; E_NOTIMPL (or the refusal) where a folder's tasks cannot
  // be listed.
  HRESULT ListAll(std::vector<ListedTask>& tasks);
  HRESULT Xml(const std::wstring& path, std::wstring& xml);
  HRESULT Enabled(const std::wstring& path, bool& enabled);
  HRESULT SetEnabled(const std::wstring& path, bool enabled);
  HRESULT Delete(const std::wstring& path);
  // Registers a new task (never over one there); its folder is made when
  // missing.
  HRESULT Register(const std::wstring& path, const std::wstring& xml);

 private:
  HRESULT Folder(const std::wstring& path, ComPtr<ITaskFolder>& folder);
  HRESULT Task(const std::wstring& path, ComPtr<IRegisteredTask>& task);
  HRESULT ListFolder(ITaskFolder* folder, std::vector<ListedTask>& tasks, int depth);

  bool uninitialise_ = false;
  ComPtr<ITaskService> service_;
};

// The folder part of a task's path ("\" for a task at the top) and its name.
std::wstring TaskFolderOf(const std::wstring& path);
std::wstring TaskNameOf(const std::wstring& path);
