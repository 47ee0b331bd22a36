#include "common/TaskService.h"

#include <oleauto.h>
#include <taskschd.h>

namespace {

// One BSTR, freed with its owner.
class Bstr {
 public:
  explicit Bstr(const std::wstring& text)
      : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr() = default;
  ~Bstr() { SysFreeString(text_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR Get() const { return text_; }
  BSTR* Receive() { return &text_; }
  std::wstring Text() const { return text_ ? std::wstring(text_, SysStringLen(text_)) : std::wstring(); }

 private:
  BSTR text_ = nullptr;
};

VARIANT Empty() {
  VARIANT none;
  VariantInit(&none);
  return none;
}

VARIANT Index(LONG at) {
  VARIANT index;
  VariantInit(&index);
  index.vt = VT_I4;
  index.lVal = at;
  return index;
}

// Task folders nest a few levels; a service that answered a loop does not
// keep this one going.
constexpr int kDeepestFolder = 32;

}  // namespace

std::wstring TaskFolderOf(const std::wstring& path) {
  const size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos || slash == 0 ? std::wstring(L"\\") : path.substr(0, slash);
}

std::wstring TaskNameOf(const std::wstring& path) {
  const size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// An apartment of its own, or the one the thread has: a thread already
// set up the other way still reaches the service.
TaskService::TaskService() : uninitialise_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

TaskService::~TaskService() {
  service_.Reset();
  if (uninitialise_) CoUninitialize();
}

HRESULT TaskService::Connect(DWORD patienceMs) {
  if (service_) return S_OK;
  HRESULT result = CoCreateInstance(__uuidof(TaskScheduler), nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskService),
                                    service_.ReceiveVoid());
  if (FAILED(result)) return result;
  const DWORD start = GetTickCount();
  for (;;) {
    result = service_->Connect(Empty(), Empty(), Empty(), Empty());
    if (SUCCEEDED(result) || GetTickCount() - start >= patienceMs) break;
    Sleep(100);
  }
  if (FAILED(result)) service_.Reset();
  return result;
}

HRESULT TaskService::Folder(const std::wstring& path, ComPtr<ITaskFolder>& folder) {
  const HRESULT connected = Connect(5000);
  if (FAILED(connected)) return connected;
  const Bstr name(path);
  return service_->GetFolder(name.Get(), folder.Receive());
}

HRESULT TaskService::Task(const std::wstring& path, ComPtr<IRegisteredTask>& task) {
  ComPtr<ITaskFolder> folder;
  HRESULT result = Folder(TaskFolderOf(path), folder);
  if (FAILED(result)) return result;
  const Bstr name(TaskNameOf(path));
  return folder->GetTask(name.Get(), task.Receive());
}

HRESULT TaskService::ListFolder(ITaskFolder* folder, std::vector<ListedTask>& tasks, int depth) {
  if (depth > kDeepestFolder) return S_OK;
  ComPtr<IRegisteredTaskCollection> registered;
  HRESULT result = folder->GetTasks(TASK_ENUM_HIDDEN, registered.Receive());
  LONG count = 0;
  if (SUCCEEDED(result)) result = registered->get_Count(&count);
  for (LONG at = 1; SUCCEEDED(result) && at <= count; ++at) {
    ComPtr<IRegisteredTask> task;
    result = registered->get_Item(Index(at), task.Receive());
    ListedTask listed;
    Bstr path, xml;
    if (SUCCEEDED(result)) result = task->get_Path(path.Receive());
    if (SUCCEEDED(result)) result = task->get_Xml(xml.Receive());
    if (FAILED(result)) break;
    tasks.push_back({path.Text(), xml.Text()});
  }
  if (FAILED(result)) return result;
  ComPtr<ITaskFolderCollection> folders;
  result = folder->GetFolders(0, folders.Receive());
  if (SUCCEEDED(result)) result = folders->get_Count(&count);
  for (LONG at = 1; SUCCEEDED(result) && at <= count; ++at) {
    ComPtr<ITaskFolder> subfolder;
    result = folders->get_Item(Index(at), subfolder.Receive());
    if (SUCCEEDED(result)) result = ListFolder(subfolder.Get(), tasks, depth + 1);
  }
  return result;
}

HRESULT TaskService::ListAll(std::vector<ListedTask>& tasks) {
  tasks.clear();
  ComPtr<ITaskFolder> root;
  HRESULT result = Folder(L"\\", root);
  if (SUCCEEDED(result)) result = ListFolder(root.Get(), tasks, 0);
  if (FAILED(result)) tasks.clear();
  return result;
}

HRESULT TaskService::Xml(const std::wstring& path, std::wstring& xml) {
  ComPtr<IRegisteredTask> task;
  HRESULT result = Task(path, task);
  Bstr text;
  if (SUCCEEDED(result)) result = task->get_Xml(text.Receive());
  xml = text.Text();
  return result;
}

HRESULT TaskService::Enabled(const std::wstring& path, bool& enabled) {
  ComPtr<IRegisteredTask> task;
  HRESULT result = Task(path, task);
  VARIANT_BOOL on = VARIANT_FALSE;
  if (SUCCEEDED(result)) result = task->get_Enabled(&on);
  enabled = on != VARIANT_FALSE;
  return result;
}

HRESULT TaskService::SetEnabled(const std::wstring& path, bool enabled) {
  ComPtr<IRegisteredTask> task;
  HRESULT result = Task(path, task);
  if (SUCCEEDED(result)) result = task->put_Enabled(enabled ? VARIANT_TRUE : VARIANT_FALSE);
  return result;
}

HRESULT TaskService::Delete(const std::wstring& path) {
  ComPtr<ITaskFolder> folder;
  HRESULT result = Folder(TaskFolderOf(path), folder);
  const Bstr name(TaskNameOf(path));
  if (SUCCEEDED(result)) result = folder->DeleteTask(name.Get(), 0);
  return result;
}

HRESULT TaskService::Register(const std::wstring& path, const std::wstring& xml) {
  ComPtr<ITaskFolder> folder;
  HRESULT result = Folder(TaskFolderOf(path), folder);
  if (FAILED(result)) {
    ComPtr<ITaskFolder> root;
    result = Folder(L"\\", root);
    const Bstr folderPath(TaskFolderOf(path));
    if (SUCCEEDED(result)) result = root->CreateFolder(folderPath.Get(), Empty(), folder.Receive());
  }
  if (FAILED(result)) return result;
  const Bstr name(TaskNameOf(path)), text(xml);
  ComPtr<IRegisteredTask> task;
  return folder->RegisterTask(name.Get(), text.Get(), TASK_CREATE, Empty(), Empty(), TASK_LOGON_NONE, Empty(),
                              task.Receive());
}
