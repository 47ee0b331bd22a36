#include "manager/TaskListing.h"

#include <atomic>
#include <unordered_map>
#include <utility>

#include "common/Names.h"
#include "common/Registry.h"
#include "common/ShellLink.h"
#include "common/Unicode.h"
#include "manager/TaskFiles.h"

namespace {

std::mutex enumerationMutex;
TaskEnumeration enumeration;

std::mutex latestMutex;
std::shared_ptr<const TaskSnapshot> latest = std::make_shared<TaskSnapshot>();
std::uint64_t latestTicket = 0;
std::atomic<std::uint64_t> nextTicket{0};

// Runs `work` on a thread of its own that holds the library loaded: a
// service call still stuck when the manager closes may end after the host
// has let the library go.
DWORD WINAPI DetachedMain(void* handed) {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&DetachedMain), &self);
  {
    const std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(handed));
    try {
      (*work)();
    } catch (...) {  // nothing crosses into the system's thread start
    }
  }
  if (self) FreeLibraryAndExitThread(self, 0);
  return 0;
}

bool RunDetached(std::function<void()> work) {
  auto* handed = new std::function<void()>(std::move(work));
  const HANDLE thread = CreateThread(nullptr, 0, &DetachedMain, handed, 0, nullptr);
  if (!thread) {
    delete handed;
    return false;
  }
  CloseHandle(thread);
  return true;
}

struct ServiceAnswer {
  std::mutex mutex;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HRESULT result = E_PENDING;
  std::vector<ListedTask> tasks;
  ~ServiceAnswer() {
    if (done) CloseHandle(done);
  }
};

// The service's listing, waited for `patienceMs`: E_PENDING when it did
// not answer by then (its thread ends by itself, its answer unread).
HRESULT ListFromService(DWORD patienceMs, std::vector<ListedTask>& tasks) {
  TaskEnumeration listing;
  {
    std::lock_guard<std::mutex> lock(enumerationMutex);
    listing = enumeration;
  }
  auto answer = std::make_shared<ServiceAnswer>();
  const bool started = answer->done && RunDetached([answer, listing, patienceMs] {
    std::vector<ListedTask> found;
    HRESULT result = E_FAIL;
    if (listing) {
      result = listing(found);
    } else {
      TaskService service;
      result = service.Connect(patienceMs);
      if (SUCCEEDED(result)) result = service.ListAll(found);
    }
    std::lock_guard<std::mutex> lock(answer->mutex);
    answer->result = result;
    answer->tasks = std::move(found);
    SetEvent(answer->done);
  });
  if (!started) return E_OUTOFMEMORY;
  WaitForSingleObject(answer->done, patienceMs);
  std::lock_guard<std::mutex> lock(answer->mutex);
  if (answer->result == E_PENDING) return E_PENDING;
  tasks = std::move(answer->tasks);
  return answer->result;
}

// A COM handler runs the library its class names in the registry's native
// view (the Task Scheduler's host is a native program).
std::wstring HandlerLibrary(const std::wstring& classId) {
  RegistryKey key;
  std::wstring library;
  if (classId.empty() ||
      key.Open(HKEY_CLASSES_ROOT, L"CLSID\\" + classId + L"\\InprocServer32", KeyAccess::Read, RegistryView::Native) !=
          ERROR_SUCCESS ||
      key.ReadString(std::wstring(), library) != ERROR_SUCCESS)
    return std::wstring();
  return library;
}

std::wstring CommandOf(const TaskDefinition& definition) {
  if (definition.actions.empty()) return std::wstring();
  const TaskAction& first = definition.actions.front();
  if (first.kind != TaskAction::Kind::ComHandler) return FirstActionText(definition);
  const std::wstring library = HandlerLibrary(first.classId);
  return library.empty() ? first.classId : QuotedIfSpaced(library) + L" " + first.classId;
}

std::wstring CannotRead(const std::wstring& reason) { return L"Cannot be read: " + reason; }

// The task as a listing shows it; null when it is no logon or startup task.
std::unique_ptr<TaskEntry> EntryOf(const std::wstring& path, const std::vector<std::uint8_t>& bytes, DWORD error) {
  auto entry = std::make_unique<TaskEntry>();
  entry->path = path;
  std::wstring reason;
  if (error != ERROR_SUCCESS) {
    entry->unreadable = CannotRead(WideFromUtf8(SystemErrorText(HRESULT_FROM_WIN32(error))));
    return entry;
  }
  if (!ParseTaskDefinition(bytes, entry->definition, reason)) {
    entry->unreadable = CannotRead(reason);
    return entry;
  }
  if (!StartsAtLogonOrBoot(entry->definition)) return nullptr;
  entry->command = CommandOf(entry->definition);
  return entry;
}

std::uint64_t Mixed(std::uint64_t stamp, const std::wstring& text) {
  return (stamp ^ std::hash<std::wstring>()(text)) * 0x100000001b3ull + 0x9e3779b97f4a7c15ull;
}

std::uint64_t StampOf(const TaskSnapshot& snapshot) {
  std::uint64_t stamp = snapshot.answered ? 3 : 5;
  for (const TaskEntry& task : snapshot.tasks) {
    stamp = Mixed(Mixed(Mixed(stamp, task.path), task.command), task.unreadable);
    stamp = Mixed(stamp, TriggerWords(task.definition.triggers) + (task.definition.enabled ? L"1" : L"0") +
                             (task.hidden ? L"h" : L""));
  }
  for (const std::wstring& folder : snapshot.folders) stamp = Mixed(stamp, folder);
  return stamp;
}

void KeepLatest(std::shared_ptr<const TaskSnapshot> snapshot, std::uint64_t ticket) {
  std::lock_guard<std::mutex> lock(latestMutex);
  if (ticket < latestTicket) return;  // a later read is in already
  latestTicket = ticket;
  latest = std::move(snapshot);
}

}  // namespace

void SetTaskEnumerationForTesting(TaskEnumeration given) {
  std::lock_guard<std::mutex> lock(enumerationMutex);
  enumeration = std::move(given);
}

std::shared_ptr<const TaskSnapshot> ReadTasks(DWORD patienceMs) {
  const std::uint64_t ticket = ++nextTicket;
  auto snapshot = std::make_shared<TaskSnapshot>();
  const std::vector<TaskFile> files = ReadTaskFiles(TaskFolder(), &snapshot->folders);
  std::vector<ListedTask> listed;
  const HRESULT listing = ListFromService(patienceMs, listed);
  snapshot->answered = listing != E_PENDING;
  const auto add = [&](std::unique_ptr<TaskEntry> entry) {
    if (entry) snapshot->tasks.push_back(std::move(*entry));
  };
  if (SUCCEEDED(listing)) {
    // The service's tasks, each from its file where it can be read (the
    // bytes as stored); the files it does not list are hidden from it.
    std::unordered_map<std::wstring, const TaskFile*> byPath;
    for (const TaskFile& file : files) byPath.emplace(FoldedName(file.path), &file);
    for (const ListedTask& task : listed) {
      const auto file = byPath.find(FoldedName(task.path));
      if (file != byPath.end() && file->second->error == ERROR_SUCCESS) {
        add(EntryOf(task.path, file->second->bytes, ERROR_SUCCESS));
      } else {
        add(EntryOf(task.path, TaskFileBytes(task.xml), ERROR_SUCCESS));
      }
      if (file != byPath.end()) byPath.erase(file);
    }
    for (const TaskFile& file : files) {
      if (!byPath.count(FoldedName(file.path))) continue;
      std::unique_ptr<TaskEntry> entry = EntryOf(file.path, file.bytes, file.error);
      if (entry) entry->hidden = true;
      add(std::move(entry));
    }
  } else {
    for (const TaskFile& file : files) add(EntryOf(file.path, file.bytes, file.error));
  }
  snapshot->stamp = StampOf(*snapshot);
  KeepLatest(snapshot, ticket);
  return snapshot;
}

std::shared_ptr<const TaskSnapshot> LatestTasks() {
  std::lock_guard<std::mutex> lock(latestMutex);
  return latest;
}

void ForgetTasks() {
  std::lock_guard<std::mutex> lock(latestMutex);
  latest = std::make_shared<TaskSnapshot>();
}

std::unique_ptr<TaskEntry> ReadTaskAgain(const std::wstring& path) {
  const TaskFile file = ReadTaskFile(TaskFolder(), path);
  std::unique_ptr<TaskEntry> entry;
  if (file.error == ERROR_ACCESS_DENIED) {
    // Where the files are the service's alone, it reads the task.
    TaskService service;
    std::wstring xml;
    if (SUCCEEDED(service.Xml(path, xml))) entry = EntryOf(path, TaskFileBytes(xml), ERROR_SUCCESS);
  } else if (file.error != ERROR_FILE_NOT_FOUND && file.error != ERROR_PATH_NOT_FOUND) {
    entry = EntryOf(path, file.bytes, file.error);
  }
  std::lock_guard<std::mutex> lock(latestMutex);
  auto snapshot = std::make_shared<TaskSnapshot>(*latest);
  auto& tasks = snapshot->tasks;
  bool placed = false;
  for (auto task = tasks.begin(); task != tasks.end();) {
    if (task->path != path) {
      ++task;
      continue;
    }
    if (entry && !placed) {
      entry->hidden = task->hidden;
      *task = *entry;
      placed = true;
      ++task;
    } else {
      task = tasks.erase(task);
    }
  }
  if (entry && !placed) tasks.push_back(*entry);
  snapshot->stamp = StampOf(*snapshot);
  latest = std::move(snapshot);
  return entry;
}

std::unique_ptr<TAutoRunItem> TaskRow(const TAutoRunNode& node, const TaskEntry& task) {
  auto row = std::make_unique<TTaskRow>();
  row->Kind = EntryKind::Task;
  row->Node = &node;
  row->Name = task.path;
  row->Command = task.command;
  row->Triggers = TriggerWords(task.definition.triggers);
  row->TriggersOff = AllTriggersOff(task.definition.triggers);
  row->Hidden = task.hidden;
  row->Unreadable = task.unreadable;
  if (!task.unreadable.empty()) {
    row->Presence = RowPresence::Unknown;  // no program to look up
    row->Switch = SwitchState::Absent;
  } else {
    row->Switch = task.definition.enabled ? SwitchState::On : SwitchState::Off;
  }
  return row;
}

void TaskRows(const TAutoRunNode& node, const TaskSnapshot& tasks, std::vector<std::unique_ptr<TAutoRunItem>>& into) {
  for (const TaskEntry& task : tasks.tasks) into.push_back(TaskRow(node, task));
}

struct TaskReader::Shared {
  std::mutex mutex;
  HWND window = nullptr;
  UINT read = 0;
  bool running = false, again = false, stopping = false;
};

TaskReader::TaskReader(UINT read) : shared_(std::make_shared<Shared>()) { shared_->read = read; }

// The thread may be waiting on the service: it is not waited for, and
// posts nothing once the reader is gone.
TaskReader::~TaskReader() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->stopping = true;
  shared_->window = nullptr;
}

void TaskReader::PostTo(HWND window) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->window = window;
}

void TaskReader::Read() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (shared_->running) {
    shared_->again = true;
    return;
  }
  shared_->running = true;
  const std::shared_ptr<Shared> shared = shared_;
  const bool started = RunDetached([shared] {
    for (;;) {
      ReadTasks();
      std::lock_guard<std::mutex> held(shared->mutex);
      if (shared->window && !shared->stopping) PostMessageW(shared->window, shared->read, 0, 0);
      if (!shared->again || shared->stopping) {
        shared->running = false;
        return;
      }
      shared->again = false;
    }
  });
  if (!started) shared_->running = false;
}
