#pragma once
// The scheduled tasks that start programs at logon or at startup, as one
// read found them: from the Task Scheduler's own listing where it gives
// one, else from the task files under the system's Tasks folder; a file
// the Task Scheduler does not list is marked hidden (a task whose
// security descriptor was removed still runs). Reading waits on the
// service at most kTaskServicePatienceMs: a service that does not answer
// leaves the files' tasks and says so. The tasks are read on a thread of
// the reader's own; the latest read is kept for the listings (which never
// wait for the service).
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/TaskService.h"
#include "manager/Entry.h"
#include "manager/TaskDefinition.h"

constexpr DWORD kTaskServicePatienceMs = 2000;

struct TaskEntry {
  std::wstring path;  // "\Folder\Name"
  TaskDefinition definition;
  std::wstring command;     // what the Path column shows: the first action, a COM handler's library first
  std::wstring unreadable;  // why the definition could not be read; empty when it could
  bool hidden = false;
};

struct TaskSnapshot {
  std::vector<TaskEntry> tasks;  // the logon and startup tasks, and the unreadable ones
  std::vector<std::wstring> folders;  // the task folders as this process reaches them
  bool answered = true;  // false: the service did not answer in time
  std::uint64_t stamp = 0;  // differs when anything listed does
};

// The service's listing of every task, or the test's stand-in for it
// (Wine has none); empty: the service's.
using TaskEnumeration = std::function<HRESULT(std::vector<ListedTask>& tasks)>;
void SetTaskEnumerationForTesting(TaskEnumeration enumeration);

// Reads every task now on the calling thread (the service's listing on a
// thread of its own, waited for `patienceMs`), keeps it as the latest and
// returns it.
std::shared_ptr<const TaskSnapshot> ReadTasks(DWORD patienceMs = kTaskServicePatienceMs);
// The latest read; an empty one before the first.
std::shared_ptr<const TaskSnapshot> LatestTasks();
// As before the first read: an opening never shows what an earlier one
// read (the tasks may have gone since).
void ForgetTasks();
// One task read again after a command: null when it is not there or not
// a logon or startup task. The latest read follows.
std::unique_ptr<TaskEntry> ReadTaskAgain(const std::wstring& path);

// The rows of a node of the tasks, from the latest read.
void TaskRows(const TAutoRunNode& node, const TaskSnapshot& tasks, std::vector<std::unique_ptr<TAutoRunItem>>& into);
std::unique_ptr<TAutoRunItem> TaskRow(const TAutoRunNode& node, const TaskEntry& task);

// Reads the tasks on a thread of its own and posts `read` to the window
// when the latest read is in; a read asked for while one runs is done
// after it, once. The thread holds the library loaded until it ends.
class TaskReader {
 public:
  explicit TaskReader(UINT read);
  ~TaskReader();
  TaskReader(const TaskReader&) = delete;
  TaskReader& operator=(const TaskReader&) = delete;
  void PostTo(HWND window);
  void Read();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};
