// Times the entry listing against a floor made of only the Win32 calls a
// listing cannot avoid, inserting the same rows into the same kind of list
// view. Product and floor runs are interleaved; medians are printed.
//
//   listing_bench [--quick] [--only registry|open|columns|select|tasks|visible|command|follow|compare|save|load]
//
// --only runs one group of rows ("registry" is the listings and memory).
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <wincrypt.h>
#include <xmllite.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/CryptHash.h"
#include "common/DropSource.h"
#include "common/Signature.h"
#include "common/FileTools.h"
#include "common/ShellLink.h"
#include "common/Unicode.h"
#include "host/PlugInCall.h"
#include "manager/LocationCatalogue.h"
#include "manager/RowStore.h"
#include "manager/velwin.h"
#include "ui/Dpi.h"
#include "manager/RecordStore.h"
#include "manager/TaskDefinition.h"
#include "manager/TaskFiles.h"
#include "manager/TaskListing.h"
#include "plugin/UnitTable.h"
#include "tests/ManagerDriver.h"
#include "res/resource.h"
#include "ui/ActivationContext.h"
#include "ui/Application.h"
#include "ui/ListView.h"

namespace {

using Clock = std::chrono::steady_clock;

// Set by work that is timed from a moment inside it (a dialog's OK
// pressed): what the user waits for starts there.
std::optional<Clock::time_point> timedFrom;

double Seconds(const std::function<void()>& work) {
  timedFrom.reset();
  auto start = Clock::now();
  work();
  if (timedFrom) start = *timedFrom;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Answers the next visible window of a class on this thread (a modal
// dialog, from its own loop): `press` fills it and presses OK, noting the
// moment in timedFrom.
struct DialogAnswer {
  std::string className;
  std::function<void(HWND)> press;
  UINT_PTR timer = 0;
} answer;

BOOL CALLBACK FindAnswered(HWND window, LPARAM found) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  if (!IsWindowVisible(window) || answer.className != name) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

void CALLBACK AnswerTick(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindAnswered, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog) return;
  KillTimer(nullptr, answer.timer);
  answer.timer = 0;
  answer.press(dialog);
}

void AnswerWithOk(const char* className, std::function<void(HWND)> press) {
  answer.className = className;
  answer.press = std::move(press);
  answer.timer = SetTimer(nullptr, 0, 1, &AnswerTick);
}

// The item dialog filled and its OK clicked, as the user does.
void PressItemDialogOk(HWND dialog, const wchar_t* name, const wchar_t* path) {
  HWND nameEdit = FindWindowExA(dialog, nullptr, "Edit", nullptr);
  SetWindowTextW(nameEdit, name);
  SetWindowTextW(FindWindowExA(dialog, nameEdit, "Edit", nullptr), path);
  HWND ok = FindWindowExA(dialog, nullptr, "VelmoraSpeedButton", nullptr);
  timedFrom = Clock::now();
  SendMessageA(ok, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(ok, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
}

// The floor's own modal dialog: one OK button, closed by it.
INT_PTR CALLBACK FloorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    EndDialog(dialog, IDOK);
    return TRUE;
  }
  return FALSE;
}

void FloorDialog(HWND owner) {
  // A template in memory: the dialog, then its one item on a DWORD boundary.
  alignas(4) WORD words[64] = {};
  auto* dialog = reinterpret_cast<DLGTEMPLATE*>(words);
  dialog->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME;
  dialog->cdit = 1;
  dialog->cx = 120;
  dialog->cy = 40;
  WORD* at = words + sizeof(DLGTEMPLATE) / sizeof(WORD) + 3;  // no menu, the default class, no title
  if ((at - words) % 2) ++at;
  auto* item = reinterpret_cast<DLGITEMTEMPLATE*>(at);
  item->style = WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON;
  item->x = 35;
  item->y = 12;
  item->cx = 50;
  item->cy = 14;
  item->id = IDOK;
  at += sizeof(DLGITEMTEMPLATE) / sizeof(WORD);
  *at++ = 0xFFFF;
  *at++ = 0x0080;  // a button
  *at++ = 0;       // no text
  *at++ = 0;       // no creation data
  AnswerWithOk("#32770", [](HWND shown) {
    timedFrom = Clock::now();
    SendMessageA(GetDlgItem(shown, IDOK), BM_CLICK, 0, 0);
  });
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog, owner, &FloorDialogProc, 0);
}

// Sends the window a message every 10 ms until stopped, keeping the
// longest wait for its answer.
struct Asker {
  HWND window;
  volatile LONG stop = 0;
  double longest = 0;
};
DWORD WINAPI AskWindow(void* context) {
  auto& asking = *static_cast<Asker*>(context);
  while (!asking.stop) {
    const auto sent = Clock::now();
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(asking.window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
    asking.longest = std::max(asking.longest, std::chrono::duration<double>(Clock::now() - sent).count());
    Sleep(10);
  }
  return 0;
}

// The floor of the save's work: each program of the folder verified and
// hashed, one after another.
DWORD WINAPI VerifyAndHash(void* folder) {
  const std::wstring& programs = *static_cast<const std::wstring*>(folder);
  const SignatureVerifier verifier;
  for (int i = 0; i < 100; ++i) {
    const std::wstring program = programs + L"\\tool" + std::to_wstring(i) + L".exe";
    verifier.Verify(program);
    Sha256OfFile(program);
  }
  return 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

const char* const kBenchKey = "Software\\VelmoraBench";

std::string MakeKey(int n) {
  const std::string path = std::string(kBenchKey) + "\\Key" + std::to_string(n);
  RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
  HKEY key;
  RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  for (int i = 0; i < n; ++i) {
    const std::string name = "Entry " + std::to_string(i);
    const std::string data = "\"C:\\Program Files\\Vendor " + std::to_string(i) + "\\app.exe\" /background";
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), DWORD(data.size() + 1));
  }
  RegCloseKey(key);
  return path;
}

std::string MakeFolder(int n) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "velbench-" + std::to_string(n);
  CreateDirectoryA(folder.c_str(), nullptr);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  int existing = 0;
  if (search != INVALID_HANDLE_VALUE) {
    do ++existing;
    while (FindNextFileA(search, &found));
    FindClose(search);
  }
  if (existing - 2 == n) return folder;
  for (int i = 0; i < n; ++i) {
    if (i % 10 == 0) {
      std::string link;
      CreateShortcut(folder, "C:\\Tools\\tool" + std::to_string(i) + ".exe", "", "", link);
    } else {
      const std::string path = folder + "\\program" + std::to_string(i) + ".exe";
      CloseHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
  }
  return folder;
}

// What the start state honestly costs: one enumeration of the switches'
// key per listing, one attribute query per program.
const char* const kApprovedRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const char* const kApprovedFolder =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\StartupFolder";

// The values a run that was cut short left in the user's Run key (each
// group deletes its own at its end): they would weigh on every later row.
void RemoveStrayValues() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_ALL_ACCESS, &key)) return;
  std::vector<std::wstring> stray;
  wchar_t name[16384];
  for (DWORD index = 0;; ++index) {
    DWORD length = 16384;
    if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr)) break;
    const std::wstring value(name, length);
    if (value.rfind(L"VelBench", 0) == 0 || value.rfind(L"VelFollow", 0) == 0) stray.push_back(value);
  }
  for (const std::wstring& value : stray) RegDeleteValueW(key, value.c_str());
  RegCloseKey(key);
}

// The rows that select a node leave for the user's RunOnce, empty, and come
// back. A fresh prefix has no RunOnce key: the node after Run would then
// be the Startup folder, and "leaving" for it from it would do nothing.
void MakeEmptyRunOnce() {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
    RegCloseKey(key);
}

// A few entries switched off in each switches' key the listings read.
void SeedSwitches() {
  for (const char* path : {kApprovedRun, kApprovedFolder}) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const BYTE off[12] = {3};
    for (int i = 0; i < 100; i += 5) {
      const std::string name = path == kApprovedRun ? "VelBench " + std::to_string(i) : "program" + std::to_string(i) + ".exe";
      RegSetValueExA(key, name.c_str(), 0, REG_BINARY, off, sizeof off);
    }
    RegCloseKey(key);
  }
}

// The user's Run key, open for one group of rows, holding "VelBench <i>"
// ("C:\\Bench\\app<i>.exe") for i below n; the values go when it closes.
const char* const kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
class BenchRunKey {
 public:
  explicit BenchRunKey(int n) : n_(n) {
    RegCreateKeyExA(HKEY_CURRENT_USER, kUserRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    for (int i = 0; i < n; ++i) SetNumbered(i);
  }
  ~BenchRunKey() {
    for (int i = 0; i < n_; ++i) RegDeleteValueA(key_, Name(i).c_str());
    RegCloseKey(key_);
  }
  BenchRunKey(const BenchRunKey&) = delete;
  BenchRunKey& operator=(const BenchRunKey&) = delete;
  operator HKEY() const { return key_; }
  static std::string Name(int i) { return "VelBench " + std::to_string(i); }
  void Set(const std::string& name, const std::string& data) const {
    RegSetValueExA(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), DWORD(data.size() + 1));
  }
  void SetNumbered(int i) const { Set(Name(i), "C:\\Bench\\app" + std::to_string(i) + ".exe"); }

 private:
  HKEY key_ = nullptr;
  int n_;
};

// The catalogue's node for a benchmark key or folder, with its switches.
TAutoRunNode RegistryNode(const std::string& key) {
  TAutoRunNode node;
  node.Location = Location::Parse(WideFromAnsi("HKEY_CURRENT_USER\\" + key));
  node.SwitchLocation = Location::Parse(WideFromAnsi(std::string("HKEY_CURRENT_USER\\") + kApprovedRun));
  return node;
}

TAutoRunNode FolderNode(const std::string& folder) {
  TAutoRunNode node;
  node.Location = Location::Parse(WideFromAnsi(folder));
  node.SwitchLocation = Location::Parse(WideFromAnsi(std::string("HKEY_CURRENT_USER\\") + kApprovedFolder));
  return node;
}

// The floor's list: the same kind of control the frame uses.
struct FloorList {
  HWND list;
  explicit FloorList(HWND parent, RECT at = {0, 0, 300, 200}) {
    list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                           WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                           at.left, at.top, at.right, at.bottom, parent, nullptr, nullptr, nullptr);
    const DWORD style = LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, style, style);
    // The manager's columns, at its widths.
    const std::pair<const char*, int> columns[] = {{"Name", 100}, {"Path", 270}, {"Publisher", 120}, {"Description", 160}};
    for (int at = 0; at < 4; ++at) {
      LVCOLUMNA column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      column.cx = columns[at].second;
      column.pszText = const_cast<char*>(columns[at].first);
      SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&column));
    }
  }
  // The picture of a present (6) or gone (7) program; the box checked
  // (2) or cleared (1).
  void Insert(const char* caption, const char* path, int index, int image = 6, int box = 2) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    item.state = INDEXTOSTATEIMAGEMASK(box);
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.iItem = index;
    item.pszText = const_cast<char*>(caption);
    item.iImage = image;
    item.lParam = index;
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    // The list gives every new row a cleared box whatever the insertion
    // asked: any other box is set afterwards.
    if (box != 1) SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
    LVITEMA sub{};
    sub.iSubItem = 1;
    sub.pszText = const_cast<char*>(path);
    SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&sub));
    // The publisher and description, stored as read (none for these
    // programs).
    sub.pszText = const_cast<char*>("");
    for (sub.iSubItem = 2; sub.iSubItem <= 3; ++sub.iSubItem)
      SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&sub));
  }
};


// The benchmark's task files: `n` under <Tasks>\VelBench, every fifth
// with a logon trigger (the rest daily), as Windows writes them.
struct BenchTasks {
  std::wstring root = TaskFolder(), folder = root + L"\\VelBench";
  bool madeRoot = false;
  explicit BenchTasks(int n) {
    madeRoot = CreateDirectoryW(root.c_str(), nullptr) != FALSE;
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < n; ++i) {
      const std::wstring number = std::to_wstring(i);
      const std::wstring xml =
          L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Task version=\"1.2\" "
          L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
          L"  <RegistrationInfo><Author>Bench</Author><Description>Benchmark task " + number +
          L"</Description></RegistrationInfo>\r\n  <Triggers>" +
          (i % 5 == 0 ? std::wstring(L"<LogonTrigger><Enabled>true</Enabled></LogonTrigger>")
                      : L"<CalendarTrigger><StartBoundary>2026-01-01T09:00:00</StartBoundary><ScheduleByDay>"
                        L"<DaysInterval>1</DaysInterval></ScheduleByDay></CalendarTrigger>") +
          L"</Triggers>\r\n  <Principals><Principal id=\"Author\"><LogonType>InteractiveToken</LogonType>"
          L"</Principal></Principals>\r\n  <Settings><Enabled>true</Enabled><Hidden>false</Hidden></Settings>\r\n"
          L"  <Actions Context=\"Author\"><Exec><Command>C:\\Bench\\task" + number +
          L".exe</Command><Arguments>/run</Arguments></Exec></Actions>\r\n</Task>\r\n";
      WriteWholeFile(folder + L"\\Task " + number, TaskFileBytes(xml), true);
    }
  }
  // A read still going on the task reader's thread may hold a file open
  // for a moment: the folder is emptied until it goes.
  ~BenchTasks() {
    for (int attempt = 0; attempt < 50 && GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES; ++attempt) {
      WIN32_FIND_DATAW found{};
      const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
      if (search != INVALID_HANDLE_VALUE) {
        do DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        while (FindNextFileW(search, &found));
        FindClose(search);
      }
      if (!RemoveDirectoryW(folder.c_str())) Sleep(100);
    }
    if (madeRoot) RemoveDirectoryW(root.c_str());
  }
};

// The least a listing of tasks can do: each file read whole and walked
// with XmlLite, node by node, for its triggers and its command; the tasks
// with a logon or startup trigger inserted.
void FloorTasks(FloorList& floor, const std::wstring& root) {
  using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
  static const CreateReader create = reinterpret_cast<CreateReader>(
      reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"xmllite.dll"), "CreateXmlReader")));
  std::vector<std::wstring> folders = {root};
  int index = 0;
  SendMessageA(floor.list, WM_SETREDRAW, FALSE, 0);
  for (size_t at = 0; at < folders.size(); ++at) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((folders[at] + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      const std::wstring name = found.cFileName, path = folders[at] + L"\\" + name;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        folders.push_back(path);
        continue;
      }
      std::vector<std::uint8_t> bytes;
      ReadWholeFile(path, bytes);
      HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
      std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
      GlobalUnlock(memory);
      IStream* stream = nullptr;
      CreateStreamOnHGlobal(memory, TRUE, &stream);
      // The block may be larger than the file: the stream ends with it.
      ULARGE_INTEGER size{};
      size.QuadPart = bytes.size();
      stream->SetSize(size);
      IXmlReader* reader = nullptr;
      create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader), nullptr);
      reader->SetInput(stream);
      bool starts = false, inCommand = false;
      std::wstring command;
      XmlNodeType type;
      while (reader->Read(&type) == S_OK) {
        const wchar_t* text = nullptr;
        if (type == XmlNodeType_Element) {
          reader->GetLocalName(&text, nullptr);
          starts = starts || !wcscmp(text, L"LogonTrigger") || !wcscmp(text, L"BootTrigger");
          inCommand = !wcscmp(text, L"Command");
        } else if (type == XmlNodeType_Text && inCommand) {
          reader->GetValue(&text, nullptr);
          command += text;
        } else if (type == XmlNodeType_EndElement) {
          inCommand = false;
        }
      }
      reader->Release();
      stream->Release();
      if (starts) floor.Insert(AnsiFromWide(name).c_str(), AnsiFromWide(command).c_str(), index++);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  SendMessageA(floor.list, WM_SETREDRAW, TRUE, 0);
}

// Pumps the window's messages until `done` (a read on another thread
// posts its end), at most ten seconds.
void PumpUntilDone(const std::function<bool()>& done) {
  const ULONGLONG deadline = GetTickCount64() + 10000;
  while (!done() && GetTickCount64() < deadline) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

std::unordered_map<std::string, bool> FloorSwitches(const char* path) {
  std::unordered_map<std::string, bool> switches;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key)) return switches;
  char name[256];
  BYTE data[64];
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = sizeof name, size = sizeof data, type = 0;
    if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size)) break;
    switches[name] = size == 12 && (data[0] & 1);
  }
  RegCloseKey(key);
  return switches;
}

bool FloorProgramExists(const char* command) {
  std::string program = command;
  if (!program.empty() && program[0] == '"') program = program.substr(1, program.find('"', 1) - 1);
  return GetFileAttributesA(program.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Appends a key's rows; `approved` is its switches' key, if it has one.
// `presence`: one attribute query per program, as the listings used to.
// `only`: the names a place of chosen values lists (none: every value).
void FloorRegistry(FloorList& floor, const std::string& path, const char* approved = kApprovedRun,
                   bool presence = true, const std::vector<std::string>& only = {}) {
  SendMessageA(floor.list, WM_SETREDRAW, FALSE, 0);
  const auto switches = approved ? FloorSwitches(approved) : std::unordered_map<std::string, bool>();
  const int first = int(SendMessageA(floor.list, LVM_GETITEMCOUNT, 0, 0));
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
  std::vector<char> name(256);
  int inserted = 0;
  std::vector<BYTE> data(256);
  for (DWORD index = 0;;) {
    DWORD nameLength = DWORD(name.size()), dataSize = DWORD(data.size() - 1), type = 0;
    const LONG result = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
    if (result == ERROR_MORE_DATA) {
      name.resize(name.size() * 2);
      data.resize(data.size() * 2);
      continue;
    }
    if (result != ERROR_SUCCESS) break;
    data[dataSize] = 0;
    ++index;
    if (!only.empty() && std::none_of(only.begin(), only.end(), [&](const std::string& taken) {
          return _stricmp(taken.c_str(), name.data()) == 0;
        }))
      continue;
    const auto switched = switches.find(name.data());
    const bool off = switched != switches.end() && switched->second;
    const bool found = !presence || FloorProgramExists(reinterpret_cast<char*>(data.data()));
    floor.Insert(name.data(), reinterpret_cast<char*>(data.data()), first + inserted++, found ? 6 : 7,
                 approved ? (off ? 1 : 2) : 0);
  }
  RegCloseKey(key);
  SendMessageA(floor.list, WM_SETREDRAW, TRUE, 0);
}

// Loads the first `shortcutsRead` shortcuts only, and then looks up no
// program: what the rows on screen need.
void FloorFolder(FloorList& floor, const std::string& folder, int shortcutsRead = 1 << 30) {
  SendMessageA(floor.list, WM_SETREDRAW, FALSE, 0);
  const auto switches = FloorSwitches(kApprovedFolder);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &found);
  int index = int(SendMessageA(floor.list, LVM_GETITEMCOUNT, 0, 0));
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "\\" + name;
    int image = 6;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".lnk") == 0 && index < shortcutsRead) {
      IShellLinkA* link = nullptr;
      IPersistFile* file = nullptr;
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link);
      link->QueryInterface(IID_IPersistFile, (void**)&file);
      wchar_t wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
      file->Load(wide, STGM_READ);
      char target[MAX_PATH];
      link->GetPath(target, MAX_PATH, nullptr, 0);
      file->Release();
      link->Release();
      if (shortcutsRead == 1 << 30) image = FloorProgramExists(target) ? 6 : 7;
    }
    const auto switched = switches.find(name);
    floor.Insert(name.c_str(), path.c_str(), index++, image, switched != switches.end() && switched->second ? 1 : 2);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  SendMessageA(floor.list, WM_SETREDRAW, TRUE, 0);
}

// The manager's toolbar as the floor makes it: seven buttons of the
// manager's pictures.
HWND FloorToolbar(HWND parent, int width, HIMAGELIST images) {
  HWND toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT, 0, 0, width, 24, parent,
                                 nullptr, nullptr, nullptr);
  SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageA(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
  TBBUTTON buttons[7]{};
  for (int i = 0; i < 7; ++i) buttons[i] = TBBUTTON{i, 100 + i, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0};
  SendMessageA(toolbar, TB_ADDBUTTONSA, 7, reinterpret_cast<LPARAM>(buttons));
  return toolbar;
}

// A window beside the manager, as large as it, holding the floor's list
// (as large as the manager's list, where the manager has it) and a status
// bar: neither side's list covers the other's.
struct FloorWindow {
  HWND top;
  std::unique_ptr<FloorList> list;
  HWND status, tree;
  HTREEITEM run = nullptr, runOnce = nullptr;  // two nodes of the tree, to select
  explicit FloorWindow(const TVelmoraWin& manager) {
    RECT frame, inList, inTree, work;
    GetWindowRect(manager.Handle(), &frame);
    // Both windows wholly on the screen, one above the other: one reaching
    // past its edge paints less than the window it stands for. The manager
    // (as tall as its tree needs) is given the window's built-in height.
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int builtIn = MulDiv(231, static_cast<int>(ui::DpiOf(manager.Handle())), 96);
    if (frame.bottom - frame.top > builtIn) {
      SetWindowPos(manager.Handle(), nullptr, frame.left, std::min<int>(frame.top, work.bottom - 2 * builtIn - 8),
                   frame.right - frame.left, builtIn, SWP_NOZORDER | SWP_NOACTIVATE);
      RedrawWindow(manager.Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      GetWindowRect(manager.Handle(), &frame);
    }
    GetWindowRect(ManagerDriver(*manager.Velmora).lvAutoRun, &inList);
    GetWindowRect(ManagerDriver(*manager.Velmora).tvAutoRun, &inTree);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    top = CreateWindowExA(0, "STATIC", "floor", WS_POPUP | WS_BORDER, frame.left, frame.bottom + 8, width, height,
                          nullptr, nullptr, nullptr, nullptr);
    tree = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                           WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                           inTree.left - frame.left, inTree.top - frame.top, inTree.right - inTree.left,
                           inTree.bottom - inTree.top, top, nullptr, nullptr, nullptr);
    for (HTREEITEM* node : {&run, &runOnce}) {
      TVINSERTSTRUCTA insert{};
      insert.hParent = TVI_ROOT;
      insert.hInsertAfter = TVI_LAST;
      insert.item.mask = TVIF_TEXT;
      insert.item.pszText = const_cast<char*>(node == &run ? "Run" : "Run Once");
      *node = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    }
    list = std::make_unique<FloorList>(top, RECT{inList.left - frame.left, inList.top - frame.top,
                                                 inList.right - inList.left, inList.bottom - inList.top});
    // The same pictures in the list and the tree, and the same font.
    images = ImageList_LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_TOOLBAR), 16, 0, RGB(128, 128, 0),
                                  IMAGE_BITMAP, LR_CREATEDIBSECTION);
    SendMessageA(list->list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    const auto font = SendMessageA(ManagerDriver(*manager.Velmora).lvAutoRun, WM_GETFONT, 0, 0);
    for (HWND control : {list->list, tree}) SendMessageA(control, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, height - 19, width, 19, top, nullptr,
                             nullptr, nullptr);
    int parts[3] = {350, 500, 550};
    SendMessageA(status, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
    // The rest of the screen: a toolbar of seven buttons and the caption.
    FloorToolbar(top, width, images);
    CreateWindowExA(0, "STATIC", "You can add new, change or delete existing auto run items.",
                    WS_CHILD | WS_VISIBLE | SS_CENTER, 0, 24, width, 16, top, nullptr, nullptr, nullptr);
    ShowWindow(top, SW_SHOWNOACTIVATE);
  }
  ~FloorWindow() {
    DestroyWindow(top);
    ImageList_Destroy(images);
  }
  HIMAGELIST images = nullptr;
};

// The floor window comes back to a Run key: its tree item selected, its
// list cleared and filled from one enumeration, the first row selected,
// the status bar written, both painted.
void FloorShowRun(FloorWindow& beside, const char* run) {
  FloorList& list = *beside.list;
  SendMessageA(beside.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(beside.run));
  SendMessageA(list.list, LVM_DELETEALLITEMS, 0, 0);
  FloorRegistry(list, run);
  LVITEMA state{};
  state.stateMask = state.state = LVIS_SELECTED;
  SendMessageA(list.list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
  SendMessageA(beside.status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("...\\Windows\\CurrentVersion\\Run"));
  UpdateWindow(list.list);
  UpdateWindow(beside.status);
}

// Bytes in use on every heap of the process (the C runtime's included).
double HeapBytesInUse() {
  std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
  const DWORD count = std::min<DWORD>(GetProcessHeaps(DWORD(heaps.size()), heaps.data()), DWORD(heaps.size()));
  double total = 0;
  for (DWORD i = 0; i < count; ++i) {
    PROCESS_HEAP_ENTRY entry{};
    HeapLock(heaps[i]);
    while (HeapWalk(heaps[i], &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
    HeapUnlock(heaps[i]);
  }
  return total;
}

struct Row {
  const char* kind;
  int n;
  double product, floor;
  std::string failed;  // what the product side did not do, when it did not
};

// A row whose product side did not do the work it claims prints no figure,
// and the benchmark ends non-zero.
bool benchFailed = false;
bool Failed(const Row& row) {
  if (row.failed.empty()) return false;
  std::printf("| %-8s | %6d | CHECK FAILED: %s |\n", row.kind, row.n, row.failed.c_str());
  std::fflush(stdout);
  benchFailed = true;
  return true;
}

void PrintRow(const Row& row) {
  if (Failed(row)) return;
  std::printf("| %-8s | %6d | %9.2f | %9.2f | %5.2f |\n", row.kind, row.n, row.product * 1e6 / row.n,
              row.floor * 1e6 / row.n, row.product / row.floor);
  std::fflush(stdout);
}

// `verify`, after each product run, says what the product side failed to
// do (the rows it should list, the node it should show); empty when done.
using Verify = std::function<std::string()>;

Row Measure(const char* kind, int n, int runs, const std::function<void()>& product,
            const std::function<void()>& floor, const std::function<void()>& clear, const Verify& verify) {
  std::vector<double> productTimes, floorTimes;
  std::string failed;
  const auto checked = [&] {
    if (failed.empty()) failed = verify();
  };
  product();  // warm both paths once
  checked();
  clear();
  floor();
  clear();
  for (int run = 0; run < runs && failed.empty(); ++run) {
    productTimes.push_back(Seconds(product));
    checked();
    clear();
    floorTimes.push_back(Seconds(floor));
    clear();
  }
  if (!failed.empty()) return Row{kind, n, 0, 1, failed};
  return Row{kind, n, Median(productTimes), Median(floorTimes), std::string()};
}

// The list holds `rows` rows named with `prefix` (the benchmark's own
// entries; a key may hold others), and (when given) shows the node
// `location`.
std::string ListHolds(ManagerDriver& frame, int rows, const std::wstring& location = std::wstring(),
                      const std::wstring& prefix = std::wstring()) {
  if (!location.empty() && frame.CurrentLocation() != location)
    return "the node shown is " + AnsiFromWide(frame.CurrentLocation()) + ", not " + AnsiFromWide(location);
  int held = 0;
  for (int row = 0; row < frame.lvAutoRun.Count(); ++row)
    held += frame.ListedItem(row)->Name.rfind(prefix, 0) == 0 ? 1 : 0;
  if (held != rows) return "the list holds " + std::to_string(held) + " rows, not " + std::to_string(rows);
  return std::string();
}

// The manager's rows as its frame inserts them (the row store over a list
// of the frame's kind, in the frame's place, with its pictures): the
// listing rows time the insertion alone, with no node shown.
struct RowStage {
  ui::ListView list;
  RowWorker worker{WM_APP + 2, WM_APP + 5};
  RowStore rows{list, worker};

  explicit RowStage(ManagerDriver& frame) {
    RECT at{};
    GetWindowRect(frame.lvAutoRun, &at);
    MapWindowPoints(nullptr, frame.Handle(), reinterpret_cast<POINT*>(&at), 2);
    ui::CreateArgs args;
    args.parent = frame.Handle();
    args.style = WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS;
    args.exStyle = WS_EX_CLIENTEDGE;
    args.left = at.left;
    args.top = at.top;
    args.width = at.right - at.left;
    args.height = at.bottom - at.top;
    list.Create(args);
    list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
    list.SetSmallImages(frame.Pictures());
    for (const wchar_t* column : {L"Name", L"Path", L"Publisher", L"Description"}) list.AddColumn(column, 100);
  }
  void Fill(const TAutoRunNode& node) {
    Listing listing = ListLocation(node);
    rows.Append(listing.rows);
  }
  void Clear() { rows.Clear(); }
};

std::string ListHolds(RowStage& stage, int count) {
  if (stage.rows.Count() != count)
    return "the list holds " + std::to_string(stage.rows.Count()) + " rows, not " + std::to_string(count);
  return std::string();
}

// A row that selects a node left it for another (the user's empty RunOnce)
// and came back: otherwise the selection changed nothing and was not timed.
std::string LeftAndCameBack(ManagerDriver& frame, const std::wstring& leftFor, int rows, const std::wstring& location,
                            const std::wstring& prefix) {
  if (leftFor == location || leftFor.find(L"\\RunOnce") == std::wstring::npos)
    return "the node left for is " + AnsiFromWide(leftFor) + ", not the empty RunOnce";
  return ListHolds(frame, rows, location, prefix);
}

}  // namespace

// Loading the library and the host's handshake (the export, then the
// callback's command 1), against the same objects without load work.
Row MeasureLoad(int runs) {
  HMODULE loaded = nullptr;
  auto loadAndShake = [&](const char* path) {
    return [&loaded, path] {
      loaded = LoadLibraryA(path);
      std::vector<uint8_t> libInfo(1000, 0), info(1800, 0);
      CallInitPlugInLib(reinterpret_cast<void*>(GetProcAddress(loaded, "InitPlugInLib")), libInfo.data());
      uint32_t callback;
      std::memcpy(&callback, &libInfo[812], 4);
      reinterpret_cast<uint32_t(__stdcall*)(uint32_t, void*)>(static_cast<uintptr_t>(callback))(1, info.data());
    };
  };
  auto unload = [&] {
    if (loaded) FreeLibrary(loaded);
    loaded = nullptr;
  };
  return Measure("load", 1, runs, loadAndShake(VELPDL_PATH), loadAndShake(VELPDL_FLOOR_PATH), unload, [&] {
    return loaded && GetProcAddress(loaded, "InitPlugInLib") ? std::string() : std::string("the library did not load");
  });
}

namespace {
const char* const kWriterGo = "VelmoraBenchWriterGo";
const char* const kWriterQuit = "VelmoraBenchWriterQuit";

// The other program of the "follow" row: each time it is told, it writes
// the next value "VelFollow <n>" to the user's Run key.
int WriterMain() {
  const HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, kWriterGo), quit = OpenEventA(SYNCHRONIZE, FALSE, kWriterQuit);
  if (!go || !quit) return 1;
  HKEY key;
  RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &key, nullptr);
  const HANDLE both[] = {go, quit};
  for (int i = 0; WaitForMultipleObjects(2, both, FALSE, 60000) == WAIT_OBJECT_0; ++i) {
    const std::string name = "VelFollow " + std::to_string(i), data = "C:\\Bench\\follow.exe";
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), DWORD(data.size() + 1));
  }
  RegCloseKey(key);
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--writer") return WriterMain();
  bool quick = false;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--quick") quick = true;
    if (std::string(argv[i]) == "--only" && i + 1 < argc) only = argv[++i];
  }
  const auto wanted = [&](const char* group) { return only.empty() || only == group; };
  RunUnitInitialisations();
  OleThreadScope ole;
  ui::TheApplication->SetInstance(GetModuleHandleA(nullptr));
  // The program's own manifest resource is not applied to an executable:
  // activated here, product and floor alike get the version-6 controls
  // the library's windows have.
  ui::LibraryActivation controls6(GetModuleHandleA(nullptr), IDR_LIBRARY_MANIFEST);
  {
    TVelmoraWin window;
    ManagerDriver shown(*window.Velmora);
    // No node shown: the rows are the ones each row fills in, and no
    // change to the user's keys merges others into them.
    shown.tvAutoRun.Select(nullptr);
    RowStage frame(shown);
    FloorList floor(window.Handle());
    auto clear = [&] {
      frame.Clear();
      SendMessageA(floor.list, LVM_DELETEALLITEMS, 0, 0);
    };
    RemoveStrayValues();
    SeedSwitches();
    MakeEmptyRunOnce();
    std::printf("| listing  |      N | product us/entry | floor us/entry | ratio |\n");
    std::printf("|----------|--------|-----------|-----------|-------|\n");
    const auto fillFrom = [&](const TAutoRunNode& node) {
      return [&frame, &node] {
        ui::ListUpdateBracket bracket(frame.list);
        frame.Fill(node);
      };
    };
    std::unordered_map<int, TAutoRunNode> keyNodes, folderNodes;
    for (int n : {100, 1000, 10000}) {
      if (!wanted("registry")) break;
      const int runs = quick ? 3 : (n >= 10000 ? 7 : 15);
      const std::string key = MakeKey(n);
      const TAutoRunNode& location = keyNodes[n] = RegistryNode(key);
      PrintRow(Measure(
          "registry", n, runs, fillFrom(location), [&] { FloorRegistry(floor, key); }, clear,
          [&] { return ListHolds(frame, n); }));
      if (n == 10000) {
        // Memory per row: what the rows hold on the heaps, records and
        // list items together, against the floor window's list.
        clear();
        const double empty = HeapBytesInUse();
        frame.Fill(location);
        const double product = HeapBytesInUse() - empty;
        clear();
        const double floorEmpty = HeapBytesInUse();
        FloorRegistry(floor, key);
        const double floorBytes = HeapBytesInUse() - floorEmpty;
        clear();
        std::printf("| %-8s | %6d | %9.1f | %9.1f | %5.2f |  (bytes per row)\n", "memory", n, product / n,
                    floorBytes / n, product / floorBytes);
      }
      const std::string folder = MakeFolder(n);
      PrintRow(Measure("folder", n, runs, fillFrom(folderNodes[n] = FolderNode(folder)),
                       [&] { FloorFolder(floor, folder); }, clear, [&] { return ListHolds(frame, n); }));
    }
    // The per-entry cost at 10,000 against 1,000, the two listings
    // interleaved: a slow stretch of the machine falls on both alike.
    for (const bool folder : {false, true}) {
      if (!wanted("registry")) break;
      auto& nodes = folder ? folderNodes : keyNodes;
      const Row flat = Measure(folder ? "flat-dir" : "flat-reg", 10000, quick ? 3 : 7, fillFrom(nodes[10000]),
                               fillFrom(nodes[1000]), [&] { frame.Clear(); },
                               [&] { return ListHolds(frame, 10000); });
      if (Failed(flat)) continue;
      std::printf("| %-8s | %6d | %9.2f | %9.2f | %5.2f |  (us per entry at 10,000 vs at 1,000)\n", flat.kind,
                  flat.n, flat.product * 1e6 / 10000, flat.floor * 1e6 / 1000, flat.product * 1000 / (flat.floor * 10000));
    }
    // "REMOVED" with 1,000 records (each a kept Run value) against the
    // key of 1,000 values: both the manager's own listings.
    if (wanted("registry") && keyNodes.count(1000)) {
      for (const std::wstring& record : KeptRecords()) DiscardRecord(record);
      for (int i = 0; i < 1000; ++i) {
        EntryRecord kept;
        kept.location = keyNodes[1000].Location.Text();
        kept.name = L"VelBench " + std::to_wstring(i);
        const std::wstring command = L"C:\\Bench\\app" + std::to_wstring(i) + L".exe";
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(command.c_str());
        kept.value = StoredBytes{true, REG_SZ, std::vector<std::uint8_t>(bytes, bytes + (command.size() + 1) * 2)};
        KeepRecord(kept);
      }
      TAutoRunNode removed;
      removed.Location = Location::Folder(RecordFolder());
      removed.ListsRecords = true;
      const Row row = Measure("removed", 1000, quick ? 3 : 15, fillFrom(removed), fillFrom(keyNodes[1000]),
                              [&] { frame.Clear(); }, [&] { return ListHolds(frame, 1000); });
      if (!Failed(row))
        std::printf("| %-8s | %6d | %9.2f | %9.2f | %5.2f |  (us per record against us per value of a key)\n", row.kind,
                  row.n, row.product * 1e6 / 1000, row.floor * 1e6 / 1000, row.product / row.floor);
      for (const std::wstring& record : KeptRecords()) DiscardRecord(record);
    }
    // Opening the manager with 1,000 values in the user's Run key, until
    // the window has painted its list, against creating a window with a
    // list of the same rows and painting it.
    if (wanted("open")) {
      const BenchRunKey key(1000);
      // Timed until the list has painted; closing is done by `close`,
      // outside the timing, for both.
      std::unique_ptr<TVelmoraWin> manager;
      std::function<void()> closeFloor;
      auto product = [&] {
        manager = std::make_unique<TVelmoraWin>();
        ShowWindow(manager->Handle(), SW_SHOWNOACTIVATE);
        UpdateWindow(manager->Handle());
        UpdateWindow(ManagerDriver(*manager->Velmora).lvAutoRun);
      };
      // The floor makes the controls the manager cannot do without: a
      // toolbar, a caption strip, a tree of as many nodes as the catalogue
      // has now (counted here, outside the timing), the list and a status
      // bar, in the same places, fonts and pictures.
      int treeNodes = 0, userNodes = 0;
      for (const CatalogueNode& node : ReadLocationCatalogue()) {
        if (node.isRoot && treeNodes > 0) userNodes = treeNodes;
        ++treeNodes;
      }
      auto floorOpen = [&] {
        HWND top = CreateWindowExA(0, "STATIC", "floor", WS_OVERLAPPEDWINDOW, 122, 109, 549, 231, nullptr, nullptr,
                                   nullptr, nullptr);
        HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
        HFONT bold = CreateFontA(-11, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
        HWND strip = CreateWindowExA(0, "STATIC", "You can add new, change or delete existing auto run items.",
                                     WS_CHILD | WS_VISIBLE | SS_CENTER, 0, 24, 541, 16, top, nullptr, nullptr, nullptr);
        SendMessageA(strip, WM_SETFONT, reinterpret_cast<WPARAM>(bold), FALSE);
        HIMAGELIST images = ImageList_LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100), 16, 0,
                                                 RGB(128, 128, 0), IMAGE_BITMAP, LR_CREATEDIBSECTION);
        HWND toolbar = FloorToolbar(top, 541, images);
        HWND tree = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                                    WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS, 0, 40,
                                    161, 143, top, nullptr, nullptr, nullptr);
        SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
        HTREEITEM parent = nullptr;
        for (int i = 0; i < treeNodes; ++i) {
          TVINSERTSTRUCTA insert{};
          insert.hParent = (i == 0 || i == userNodes) ? TVI_ROOT : parent;
          insert.hInsertAfter = TVI_LAST;
          insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
          insert.item.iImage = insert.item.iSelectedImage = 5;
          insert.item.pszText = const_cast<char*>("Location");
          HTREEITEM node = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&insert));
          if (i == 0 || i == userNodes) parent = node;
        }
        HWND status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 183, 541, 19, top, nullptr,
                                      nullptr, nullptr);
        int parts[3] = {350, 500, 550};
        SendMessageA(status, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
        SendMessageA(status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("...\\Software\\Microsoft\\Windows\\CurrentVersion\\"));
        FloorList list(top, RECT{167, 40, 374, 143});
        SendMessageA(list.list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
        for (HWND control : {toolbar, tree, status, list.list})
          SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        // What the user's root lists: its four keys and its Startup folder.
        for (const char* child : {"Run", "RunOnce", "RunServices", "RunServicesOnce"})
          FloorRegistry(list, std::string("Software\\Microsoft\\Windows\\CurrentVersion\\") + child,
                        std::string(child) == "Run" ? kApprovedRun : nullptr);
        char startup[MAX_PATH] = "";
        DWORD startupSize = sizeof startup;
        RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                     "Startup", RRF_RT_REG_SZ, nullptr, startup, &startupSize);
        FloorFolder(list, startup);
        // And the logon places beyond: the policy's Run key, the legacy
        // Load and Run values, the user's own shell.
        FloorRegistry(list, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run", nullptr);
        FloorRegistry(list, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", nullptr, true, {"Load", "Run"});
        FloorRegistry(list, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", nullptr, true, {"Shell"});
        // The logon script and RunOnceEx: each section's values and its
        // Depend subkey's.
        FloorRegistry(list, "Environment", nullptr, true, {"UserInitMprLogonScript"});
        const std::string runOnceEx = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
        HKEY sections = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, runOnceEx.c_str(), 0, KEY_READ, &sections) == ERROR_SUCCESS) {
          char name[256];
          for (DWORD index = 0;; ++index) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(sections, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            FloorRegistry(list, runOnceEx + "\\" + name, nullptr);
            FloorRegistry(list, runOnceEx + "\\" + name + "\\Depend", nullptr);
          }
          RegCloseKey(sections);
        }
        ShowWindow(top, SW_SHOWNOACTIVATE);
        UpdateWindow(top);
        UpdateWindow(list.list);
        closeFloor = [=] {
          ShowWindow(top, SW_HIDE);
          DestroyWindow(top);
          ImageList_Destroy(images);
          DeleteObject(font);
          DeleteObject(bold);
        };
      };
      auto close = [&] {
        if (manager) ShowWindow(manager->Handle(), SW_HIDE);  // as the modal run does
        manager.reset();
        if (closeFloor) closeFloor();
        closeFloor = nullptr;
      };
      // The user's root lists its four keys and its Startup folder: the
      // 1,000 values among them.
      const Row open = Measure("open", 1000, quick ? 3 : 11, product, floorOpen, close, [&] {
        ManagerDriver opened(*manager->Velmora);
        return opened.lvAutoRun.Count() >= 1000 && opened.RowOf(WideFromAnsi(BenchRunKey::Name(999))) >= 0
                   ? std::string()
                   : "the opening lists " + std::to_string(opened.lvAutoRun.Count()) + " rows, not the 1,000 values";
      });
      if (!Failed(open))
        std::printf("| %-8s | %6d | %9.2f | %9.2f | %5.2f |  (ms per opening: %.1f vs %.1f)\n", open.kind, open.n,
                  open.product * 1e6 / open.n, open.floor * 1e6 / open.n, open.product / open.floor,
                  open.product * 1e3, open.floor * 1e3);
    }
    // The Publisher and Description columns: opening the manager on the
    // user's Run key with 10,000 values, until the list has painted, when
    // the programs they start (64, one per row on screen) carry version
    // resources, against the same opening when they are files without one.
    // The programs are swapped between takes, outside the timing.
    if (wanted("columns")) {
      // The programs' folder is one of two prepared folders, swapped in by
      // renaming: the same cheap step before either kind of run.
      const std::wstring folder = L"C:\\VelBench Programs";
      const std::wstring store[2] = {folder + L" plain", folder + L" versioned"};
      constexpr int kPrograms = 64;
      const auto programIn = [&](const std::wstring& where, int i) {
        return where + L"\\app" + std::to_wstring(i % kPrograms) + L".exe";
      };
      // A run that was cut short may have left a folder in either place.
      for (const std::wstring& where : {folder, store[0], store[1]}) {
        for (int i = 0; i < kPrograms; ++i) DeleteFileW(programIn(where, i).c_str());
        RemoveDirectoryW(where.c_str());
      }
      wchar_t self[MAX_PATH] = {};
      GetModuleFileNameW(nullptr, self, MAX_PATH);
      std::wstring versioned = self;
      versioned = versioned.substr(0, versioned.find_last_of(L'\\')) + L"\\programs\\demo\\tray.exe";
      for (const std::wstring& where : store) {
        CreateDirectoryW(where.c_str(), nullptr);
        for (int i = 0; i < kPrograms; ++i) {
          if (&where == &store[1]) {
            CopyFileW(versioned.c_str(), programIn(where, i).c_str(), FALSE);
          } else {
            HANDLE file = CreateFileW(programIn(where, i).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            CloseHandle(file);
          }
        }
      }
      bool withVersions = false;
      const auto placePrograms = [&](bool versions) {
        if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
          MoveFileW(folder.c_str(), store[withVersions].c_str());
        MoveFileW(store[versions].c_str(), folder.c_str());
        withVersions = versions;
      };
      BenchRunKey key(10000);
      for (int i = 0; i < 10000; ++i) key.Set(BenchRunKey::Name(i), AnsiFromWide(programIn(folder, i)));
      std::unique_ptr<TVelmoraWin> manager;
      const auto open = [&] {
        manager = std::make_unique<TVelmoraWin>();
        ManagerDriver frame(*manager->Velmora);
        frame.tvAutoRun.Select(frame.tvAutoRun.FirstChild(frame.tvAutoRun.Root()));
        ShowWindow(manager->Handle(), SW_SHOWNOACTIVATE);
        UpdateWindow(manager->Handle());
        UpdateWindow(frame.lvAutoRun);
      };
      // Measure runs product, clear, floor, clear: each clear readies the
      // programs of the run that follows it.
      const auto close = [&] {
        if (manager) ShowWindow(manager->Handle(), SW_HIDE);
        manager.reset();
        placePrograms(!withVersions);
      };
      placePrograms(true);
      // The product side runs with the versioned programs in place: the
      // rows on screen show a publisher.
      const Row opened = Measure("columns", 10000, quick ? 3 : 21, open, open, close, [&] {
        ManagerDriver shown(*manager->Velmora);
        const std::string rows = ListHolds(shown, 10000, std::wstring(), L"VelBench");
        if (!rows.empty()) return rows;
        return shown.lvAutoRun.Text(0, kPublisherColumn).empty() ? std::string("the first row shows no publisher")
                                                                 : std::string();
      });
      if (!Failed(opened))
        std::printf("| %-8s | %6d | %9.2f | %9.2f | %5.2f |  (ms per opening: %.1f with versions, %.1f without)\n",
                  opened.kind, opened.n, opened.product * 1e6 / opened.n, opened.floor * 1e6 / opened.n,
                  opened.product / opened.floor, opened.product * 1e3, opened.floor * 1e3);
      MoveFileW(folder.c_str(), store[withVersions].c_str());
      for (const std::wstring& where : store) {
        for (int i = 0; i < kPrograms; ++i) DeleteFileW(programIn(where, i).c_str());
        RemoveDirectoryW(where.c_str());
      }
    }
    // Selecting a node: leaving the user's Run key with N values for an empty
    // location and coming back, until the list has painted (the old rows
    // cleared, the new listed, the first selected, the status bar written),
    // against clearing and filling a plain list the same way.
    for (int n : {100, 1000, 10000}) {
      if (!wanted("select")) break;
      const char* run = kUserRun;
      const BenchRunKey key(n);
      TVelmoraWin manager;
      ManagerDriver frame(*manager.Velmora);
      ShowWindow(manager.Handle(), SW_SHOWNOACTIVATE);
      const HTREEITEM runNode = frame.tvAutoRun.FirstChild(frame.tvAutoRun.Root());
      const HTREEITEM onceNode = frame.tvAutoRun.NextSibling(runNode);
      FloorWindow beside(manager);
      FloorList& list = *beside.list;
      HWND status = beside.status;
      frame.tvAutoRun.Select(runNode);
      FloorRegistry(list, run);
      std::wstring leftFor;
      auto product = [&] {
        frame.tvAutoRun.Select(onceNode);
        leftFor = frame.CurrentLocation();
        frame.tvAutoRun.Select(runNode);
        UpdateWindow(frame.lvAutoRun);
        UpdateWindow(frame.StatusBar);
      };
      // The floor's tree and list leave for RunOnce (empty) and come back too.
      auto floorSelect = [&] {
        SendMessageA(beside.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(beside.runOnce));
        SendMessageA(list.list, LVM_DELETEALLITEMS, 0, 0);
        FloorRegistry(list, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", nullptr);
        SendMessageA(status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("...\\Windows\\CurrentVersion\\RunOnce"));
        FloorShowRun(beside, run);
      };
      const std::wstring runLocation = frame.NodeItem(runNode)->Location.Text();
      const Row select = Measure("select", n, quick ? 3 : (n >= 10000 ? 7 : 11), product, floorSelect, [] {},
                                 [&] { return LeftAndCameBack(frame, leftFor, n, runLocation, L"VelBench"); });
      PrintRow(select);
    }
    // The least work the screen needs when a node is selected: a key of
    // 10,000 values against one enumeration (with the switches' key), the
    // inserts and the paint; a Startup folder of 1,000 shortcuts against
    // the search, the inserts, the paint and loading the shortcuts of the
    // rows on screen. Both sides leave for an empty node and come back.
    // Selecting "Scheduled tasks" with 500 task files (100 with a logon
    // trigger) until its rows have painted, read afresh each time, against
    // the folder walk, each file read and walked with XmlLite, the inserts
    // and the paint. Both sides leave for another node and come back.
    if (wanted("tasks")) {
      const int files = 500, listed = 100;
      const BenchTasks tasks(files);
      TVelmoraWin manager;
      ManagerDriver frame(*manager.Velmora);
      ShowWindow(manager.Handle(), SW_SHOWNOACTIVATE);
      HTREEITEM tasksNode = nullptr, otherNode = nullptr;
      for (HTREEITEM node = frame.tvAutoRun.Root(); node; node = frame.tvAutoRun.NextInOrder(node))
        if (frame.NodeItem(node) && frame.NodeItem(node)->Location.IsTasks()) tasksNode = node;
      if (tasksNode) otherNode = frame.tvAutoRun.FirstChild(frame.tvAutoRun.Parent(tasksNode));
      FloorWindow beside(manager);
      FloorList& list = *beside.list;
      HWND status = beside.status;
      std::wstring leftFor;
      auto product = [&] {
        if (!tasksNode) return;
        ForgetTasks();
        frame.tvAutoRun.Select(otherNode);
        leftFor = frame.CurrentLocation();
        frame.tvAutoRun.Select(tasksNode);
        PumpUntilDone([&] { return frame.lvAutoRun.Count() >= listed; });
        UpdateWindow(frame.lvAutoRun);
        UpdateWindow(frame.StatusBar);
      };
      auto floorSelect = [&] {
        SendMessageA(beside.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(beside.runOnce));
        SendMessageA(list.list, LVM_DELETEALLITEMS, 0, 0);
        SendMessageA(beside.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(beside.run));
        FloorTasks(list, tasks.root);
        LVITEMA state{};
        state.stateMask = state.state = LVIS_SELECTED;
        SendMessageA(list.list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
        SendMessageA(status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("Task Scheduler"));
        UpdateWindow(list.list);
        UpdateWindow(status);
      };
      const Row row = Measure("tasks", files, quick ? 3 : 11, product, floorSelect, [] {}, [&]() -> std::string {
        if (!tasksNode) return "no node of the scheduled tasks";
        if (leftFor == L"Task Scheduler") return "the node left for is the tasks' own";
        return ListHolds(frame, listed, L"Task Scheduler", L"\\VelBench\\");
      });
      PrintRow(row);
    }
    if (wanted("visible")) {
      const char* run = kUserRun;
      const BenchRunKey key(10000);
      const std::string startup = AnsiFromWide(GetUserStartupFolder());
      CreateDirectoryA(startup.c_str(), nullptr);
      std::string made;
      CreateShortcut(startup, "C:\\Bench\\tool.exe", "", "", made);
      // The folder holds `count` shortcuts: the first 100, then 1,000.
      const auto fillStartup = [&](int count) {
        for (int i = 0; i < count; ++i)
          CopyFileA(made.c_str(), (startup + "\\Link " + std::to_string(i) + ".lnk").c_str(), TRUE);
      };
      fillStartup(100);
      TVelmoraWin manager;
      ManagerDriver frame(*manager.Velmora);
      ShowWindow(manager.Handle(), SW_SHOWNOACTIVATE);
      const HTREEITEM runNode = frame.tvAutoRun.FirstChild(frame.tvAutoRun.Root());
      const HTREEITEM onceNode = frame.tvAutoRun.NextSibling(runNode);
      HTREEITEM folderNode = nullptr;
      for (HTREEITEM node = frame.tvAutoRun.Root(); node; node = frame.tvAutoRun.NextInOrder(node))
        if (frame.NodeItem(node) && frame.NodeItem(node)->Location.Text() == WideFromAnsi(startup)) folderNode = node;
      FloorWindow beside(manager);
      FloorList& list = *beside.list;
      const int perPage = int(SendMessageA(frame.lvAutoRun, LVM_GETCOUNTPERPAGE, 0, 0)) + 1;
      std::wstring leftFor;
      const auto selectBack = [&](HTREEITEM node) {
        return [&, node] {
          if (!node) return;
          frame.tvAutoRun.Select(onceNode);
          leftFor = frame.CurrentLocation();
          frame.tvAutoRun.Select(node);
          UpdateWindow(frame.lvAutoRun);
          UpdateWindow(frame.StatusBar);
        };
      };
      const auto floorBack = [&](const std::function<void()>& fill) {
        return [&, fill] {
          SendMessageA(beside.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(beside.runOnce));
          SendMessageA(list.list, LVM_DELETEALLITEMS, 0, 0);
          SendMessageA(beside.status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("...\\Windows\\CurrentVersion\\RunOnce"));
          SendMessageA(beside.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(beside.run));
          SendMessageA(list.list, LVM_DELETEALLITEMS, 0, 0);
          fill();
          LVITEMA state{};
          state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
          SendMessageA(list.list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
          SendMessageA(beside.status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("...\\Windows\\CurrentVersion\\Run"));
          UpdateWindow(list.list);
          UpdateWindow(beside.status);
        };
      };
      frame.tvAutoRun.Select(runNode);
      PrintRow(Measure("visible", 10000, quick ? 3 : 7, selectBack(runNode),
                       floorBack([&] { FloorRegistry(list, run, kApprovedRun, false); }), [] {},
                       [&] { return LeftAndCameBack(frame, leftFor, 10000, frame.NodeItem(runNode)->Location.Text(), L"VelBench"); }));
      // The rows on screen have had their shortcuts read when painted.
      const auto shortcutsShown = [&](int count) -> std::string {
        if (!folderNode) return "no node lists the Startup folder " + startup;
        const std::string rows = LeftAndCameBack(frame, leftFor, count, frame.NodeItem(folderNode)->Location.Text(), L"Link ");
        if (!rows.empty()) return rows;
        return frame.ListedItem(0)->Settled() ? std::string() : std::string("the first row's shortcut was not read");
      };
      // Leaving the key of 10,000 rows for the empty RunOnce, until the list
      // has painted, against deleting the floor's rows and painting. Each
      // side comes back outside the timing.
      // The floor's status bar shows what the manager's does: the place,
      // and the selected row's program, which leaving clears.
      const auto backToRun = [&] {
        if (frame.tvAutoRun.Selected() != runNode) frame.tvAutoRun.Select(runNode);
        if (SendMessageA(list.list, LVM_GETITEMCOUNT, 0, 0) == 0) {
          SendMessageA(beside.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(beside.run));
          FloorRegistry(list, run, kApprovedRun, false);
          SendMessageA(beside.status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("...\\Windows\\CurrentVersion\\Run"));
          SendMessageA(beside.status, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>("app0.exe"));
        }
        for (HWND window : {manager.Handle(), beside.top})
          RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      };
      backToRun();
      PrintRow(Measure(
          "leave", 10000, quick ? 3 : 7,
          [&] {
            frame.tvAutoRun.Select(onceNode);
            UpdateWindow(frame.lvAutoRun);
            UpdateWindow(frame.StatusBar);
          },
          [&] {
            SendMessageA(beside.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(beside.runOnce));
            SendMessageA(list.list, LVM_DELETEALLITEMS, 0, 0);
            FloorRegistry(list, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", nullptr);
            SendMessageA(beside.status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("...\\Windows\\CurrentVersion\\RunOnce"));
            SendMessageA(beside.status, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(""));
            UpdateWindow(list.list);
            UpdateWindow(beside.status);
          },
          backToRun,
          [&]() -> std::string {
            const std::wstring shown = frame.CurrentLocation();
            if (shown.find(L"\\RunOnce") == std::wstring::npos) return "the node shown is " + AnsiFromWide(shown);
            return frame.lvAutoRun.Count() == 0 ? std::string() : "the empty RunOnce lists rows";
          }));
      for (const int count : {100, 1000}) {
        fillStartup(count);
        PrintRow(Measure("visible", count, quick ? 3 : 11, selectBack(folderNode),
                         floorBack([&] { FloorFolder(list, startup, perPage); }), [] {},
                         [&] { return shortcutsShown(count); }));
      }
      DeleteFileA(made.c_str());
      for (int i = 0; i < 1000; ++i) DeleteFileA((startup + "\\Link " + std::to_string(i) + ".lnk").c_str());
    }
    // A command at N values in the user's Run key, until the list has
    // painted: Delete, Add and Change (a rename with a new command), each
    // against the least work that gives the same screen in the window
    // beside: a record file as large as the one the manager keeps written
    // and flushed, the one registry write, the one row removed, inserted or
    // updated, the row selected, the status bar written, the list painted.
    // Add is the user's: the toolbar's button, the item dialog filled and
    // its OK clicked, timed from OK; its floor closes a modal dialog of its
    // own with OK first, timed from there too.
    for (int n : {100, 1000, 10000}) {
      if (!wanted("command")) break;
      const char* run = kUserRun;
      const BenchRunKey key(n);
      const auto valueName = &BenchRunKey::Name;
      const auto setValue = [&](const std::string& name, const std::string& data) { key.Set(name, data); };
      const auto setNumbered = [&](int i) { key.SetNumbered(i); };
      TVelmoraWin manager;
      ManagerDriver frame(*manager.Velmora);
      ShowWindow(manager.Handle(), SW_SHOWNOACTIVATE);
      frame.tvAutoRun.Select(frame.tvAutoRun.FirstChild(frame.tvAutoRun.Root()));  // "Run"
      FloorWindow beside(manager);
      FloorList& list = *beside.list;
      FloorRegistry(list, run);
      const int target = n / 2;
      const auto rowOf = [&](const std::string& name) {
        const std::wstring wanted = WideFromAnsi(name);
        for (int row = 0; row < frame.lvAutoRun.Count(); ++row)
          if (frame.ListedItem(row)->Name == wanted) return row;
        return -1;
      };
      const auto selectTarget = [&] { frame.lvAutoRun.SelectOnly(rowOf(valueName(target))); };
      // The record the manager keeps for a command, as large for the floor.
      std::vector<std::uint8_t> floorRecord;
      const std::wstring floorRecordPath = RecordFolder() + L"\\floor.reg";
      const auto measureRecord = [&](const std::function<void()>& command) {
        const std::vector<std::wstring> before = KeptRecords();
        command();
        const std::vector<std::wstring> after = KeptRecords();
        WIN32_FILE_ATTRIBUTE_DATA file{};
        floorRecord.clear();
        if (after.size() > before.size() && GetFileAttributesExW(after.back().c_str(), GetFileExInfoStandard, &file))
          floorRecord.assign(file.nFileSizeLow, 'x');
      };
      const auto keepFloorRecord = [&] {
        if (!floorRecord.empty()) WriteWholeFile(floorRecordPath, floorRecord, true);
      };
      const auto floorScreen = [&](int row) {
        LVITEMA state{};
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list.list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        SendMessageA(list.list, LVM_ENSUREVISIBLE, row, FALSE);
        SendMessageA(beside.status, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>("app.exe"));
        UpdateWindow(list.list);
      };
      const auto refreshAll = [&] {
        DeleteFileW(floorRecordPath.c_str());
        frame.tbRefresh.Click();
        SendMessageA(list.list, LVM_DELETEALLITEMS, 0, 0);
        FloorRegistry(list, run);
        selectTarget();
        // Both screens painted before the next command: each then paints
        // what the command changed.
        for (HWND window : {manager.Handle(), beside.top}) RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      };
      struct Case {
        const char* name;
        std::function<void()> product, floor, restore;
      };
      const Case cases[] = {
          {"delete",
           [&] {
             frame.tbDelete.Click();
             UpdateWindow(frame.lvAutoRun);
           },
           [&] {
             keepFloorRecord();
             RegDeleteValueA(key, valueName(target).c_str());
             SendMessageA(list.list, LVM_DELETEITEM, target, 0);
             floorScreen(target);
           },
           [&] {
             setNumbered(target);
             refreshAll();
           }},
          {"add",
           [&] {
             AnswerWithOk("TAutoRunItemDlg",
                          [](HWND dialog) { PressItemDialogOk(dialog, L"VelBench added", L"C:\\Bench\\added.exe"); });
             frame.tbAdd.Click();
             UpdateWindow(frame.lvAutoRun);
           },
           [&] {
             FloorDialog(beside.top);
             keepFloorRecord();
             setValue("VelBench floor added", "C:\\Bench\\added.exe");
             const int row = int(SendMessageA(list.list, LVM_GETITEMCOUNT, 0, 0));
             list.Insert("VelBench floor added", "C:\\Bench\\added.exe", row);
             floorScreen(row);
           },
           [&] {
             RegDeleteValueA(key, "VelBench added");
             RegDeleteValueA(key, "VelBench floor added");
             refreshAll();
           }},
          {"change",
           [&] {
             frame.ChangeAsDialogWould(frame.lvAutoRun.SelectedIndex(), L"VelBench renamed", L"C:\\Bench\\renamed.exe");
             UpdateWindow(frame.lvAutoRun);
           },
           [&] {
             keepFloorRecord();
             setValue("VelBench floor renamed", "C:\\Bench\\renamed.exe");
             RegDeleteValueA(key, valueName(target).c_str());
             LVITEMA text{};
             text.pszText = const_cast<char*>("VelBench floor renamed");
             SendMessageA(list.list, LVM_SETITEMTEXTA, target, reinterpret_cast<LPARAM>(&text));
             text.iSubItem = 1;
             text.pszText = const_cast<char*>("C:\\Bench\\renamed.exe");
             SendMessageA(list.list, LVM_SETITEMTEXTA, target, reinterpret_cast<LPARAM>(&text));
             floorScreen(target);
           },
           [&] {
             RegDeleteValueA(key, "VelBench renamed");
             RegDeleteValueA(key, "VelBench floor renamed");
             setNumbered(target);
             refreshAll();
           }},
      };
      for (const Case& c : cases) {
        selectTarget();
        measureRecord(c.product);
        c.restore();
        const Row command = Measure(c.name, n, quick ? 3 : (n >= 10000 ? 7 : 11), c.product, c.floor, c.restore, [&]() -> std::string {
          // The command's own row: gone, added or renamed, and selected.
          const std::string what = c.name;
          const std::string name = what == "delete" ? valueName(target) : what == "add" ? "VelBench added" : "VelBench renamed";
          const int row = rowOf(name);
          if (what == "delete") {
            if (row >= 0) return "the deleted value is still listed";
          } else if (row < 0 || (what == "change" && rowOf(valueName(target)) >= 0)) {
            return name + " is not listed in its place";
          } else if (frame.lvAutoRun.SelectedIndex() != row) {
            return name + " is not selected";
          }
          return std::string();
        });
        if (Failed(command)) continue;
        std::printf("| %-8s | %6d | %9.2f | %9.2f | %5.2f |  (ms per command: %.1f vs %.1f)\n", command.kind, command.n,
                    command.product * 1e6 / command.n, command.floor * 1e6 / command.n,
                    command.product / command.floor, command.product * 1e3, command.floor * 1e3);
        std::fflush(stdout);
      }
    }
    // Another program writes a value to the Run key on show: from the write
    // (in a process of its own) until the row is painted, against a floor
    // that waits for the key's change notification itself, reads the one
    // value, inserts its row and paints. Then, with nothing changing, the
    // processor time the open manager takes, against none open.
    if (wanted("follow")) {
      const char* run = kUserRun;
      const BenchRunKey key(100);
      const HANDLE go = CreateEventA(nullptr, FALSE, FALSE, kWriterGo), quit = CreateEventA(nullptr, TRUE, FALSE, kWriterQuit);
      char self[MAX_PATH];
      GetModuleFileNameA(nullptr, self, MAX_PATH);
      std::string commandLine = std::string("\"") + self + "\" --writer";
      STARTUPINFOA startup{};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION writer{};
      CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &writer);
      int written = 0;
      const auto pumpUntil = [](const std::function<bool()>& done) {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!done() && Clock::now() < deadline) {
          MSG message;
          while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
          }
          if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
      };
      {
        TVelmoraWin manager;
        ManagerDriver frame(*manager.Velmora);
        ShowWindow(manager.Handle(), SW_SHOWNOACTIVATE);
        frame.tvAutoRun.Select(frame.tvAutoRun.FirstChild(frame.tvAutoRun.Root()));  // "Run"
        FloorWindow beside(manager);
        FloorList& list = *beside.list;
        FloorRegistry(list, run);
        HANDLE changed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        auto product = [&] {
          const int rows = frame.lvAutoRun.Count();
          SetEvent(go);
          ++written;
          pumpUntil([&] { return frame.lvAutoRun.Count() == rows + 1; });
          UpdateWindow(frame.lvAutoRun);
        };
        auto floorFollow = [&] {
          SetEvent(go);
          const std::string name = "VelFollow " + std::to_string(written++);
          while (MsgWaitForMultipleObjects(1, &changed, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
          }
          char data[MAX_PATH] = "";
          DWORD size = sizeof data;
          RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
          const int row = int(SendMessageA(list.list, LVM_GETITEMCOUNT, 0, 0));
          list.Insert(name.c_str(), data, row);
          UpdateWindow(list.list);
        };
        auto settle = [&] {
          const int rows = frame.lvAutoRun.Count();
          RegDeleteValueA(key, ("VelFollow " + std::to_string(written - 1)).c_str());
          pumpUntil([&] { return frame.lvAutoRun.Count() == rows - 1; });
          const int last = int(SendMessageA(list.list, LVM_GETITEMCOUNT, 0, 0)) - 1;
          if (last >= 100) SendMessageA(list.list, LVM_DELETEITEM, last, 0);
          const auto quiet = Clock::now() + std::chrono::milliseconds(200);
          pumpUntil([&] { return Clock::now() >= quiet; });
          ResetEvent(changed);
          RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, changed, TRUE);
        };
        settle();  // nothing to delete yet: arms the floor's notification
        const Row follow = Measure("follow", 1, quick ? 3 : 11, product, floorFollow, settle, [&] {
          return frame.RowOf(WideFromAnsi("VelFollow " + std::to_string(written - 1))) >= 0
                     ? std::string()
                     : std::string("the other program's value is not listed");
        });
        if (!Failed(follow))
          std::printf("| %-8s | %6d | %9.2f | %9.2f | %5.2f |  (ms from another process's write to the painted row)\n",
                    follow.kind, 100, follow.product * 1e3, follow.floor * 1e3, follow.product / follow.floor);
        std::fflush(stdout);
        CloseHandle(changed);

        // Idle: the manager open, its idle work done, nothing changing.
        const auto idleWork = Clock::now() + std::chrono::milliseconds(500);
        pumpUntil([&] { return Clock::now() >= idleWork; });
        const auto processorMs = [] {
          FILETIME created, exited, kernel, user;
          GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
          const auto ms = [](const FILETIME& time) {
            return double((std::uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e4;
          };
          return ms(kernel) + ms(user);
        };
        const auto idleFor = [&](int seconds) {
          const double before = processorMs();
          const auto end = Clock::now() + std::chrono::seconds(seconds);
          pumpUntil([&] { return Clock::now() >= end; });
          return (processorMs() - before) / seconds;
        };
        const double open = idleFor(quick ? 1 : 3);
        ShowWindow(manager.Handle(), SW_HIDE);
        const double none = idleFor(quick ? 1 : 3);
        std::printf("| %-8s | %6d | %9.2f | %9.2f | %5.2f |  (ms of processor per second; ratio of ms+1)\n", "idle", 1,
                    open, none, (open + 1) / (none + 1));
      }
      SetEvent(quit);
      WaitForSingleObject(writer.hProcess, 10000);
      CloseHandle(writer.hProcess);
      CloseHandle(writer.hThread);
      CloseHandle(go);
      CloseHandle(quit);
      for (int i = 0; i < written; ++i) RegDeleteValueA(key, ("VelFollow " + std::to_string(i)).c_str());
    }
    // Verification: 100 signed programs (copies of one signed program, each
    // its own file) in the user's Run key, verified in idle time after the
    // opening has painted; reported per program, with no floor (the work
    // is Windows' own).
    if (wanted("verify")) {
      wchar_t self[MAX_PATH] = {}, full[MAX_PATH] = {};
      GetModuleFileNameW(nullptr, self, MAX_PATH);
      const std::wstring signedFolder =
          std::wstring(self).substr(0, std::wstring(self).find_last_of(L'\\')) + L"\\programs\\signed\\";
      GetFullPathNameW(signedFolder.c_str(), MAX_PATH, full, nullptr);
      const std::wstring source = std::wstring(full) + L"verified.exe";
      std::vector<std::uint8_t> root;
      ReadWholeFile(std::wstring(full) + L"root.cer", root);
      if (HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root")) {
        if (!root.empty())
          CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, root.data(), static_cast<DWORD>(root.size()),
                                           CERT_STORE_ADD_USE_EXISTING, nullptr);
        CertCloseStore(store, 0);
      }
      wchar_t temp[MAX_PATH];
      GetTempPathW(MAX_PATH, temp);
      const std::wstring folder = std::wstring(temp) + L"velbench-verify\\";
      CreateDirectoryW(folder.c_str(), nullptr);
      const int programs = 100;
      const BenchRunKey key(0);
      for (int i = 0; i < programs; ++i) {
        const std::wstring copy = folder + L"v" + std::to_wstring(i) + L".exe";
        CopyFileW(source.c_str(), copy.c_str(), FALSE);
        key.Set(BenchRunKey::Name(i), "\"" + AnsiFromWide(copy) + "\"");
      }
      std::vector<double> perProgram;
      bool allVerified = true;
      {  // one opening per take: bench.sh runs three
        auto manager = std::make_unique<TVelmoraWin>();
        ShowWindow(manager->Handle(), SW_SHOWNOACTIVATE);
        UpdateWindow(manager->Handle());
        ManagerDriver opened(*manager->Velmora);
        const auto verified = [&] {
          int count = 0;
          for (int row = 0; row < opened.lvAutoRun.Count(); ++row)
            if (opened.lvAutoRun.Text(row, kPublisherColumn).rfind(L"(Verified)", 0) == 0) ++count;
          return count;
        };
        const auto began = std::chrono::steady_clock::now();
        while (verified() < programs &&
               std::chrono::steady_clock::now() - began < std::chrono::seconds(120)) {
          MSG message;
          if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
          }
          TranslateMessage(&message);
          DispatchMessageW(&message);
        }
        allVerified = allVerified && verified() >= programs;
        perProgram.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count() /
                             programs);
        ShowWindow(manager->Handle(), SW_HIDE);
      }
      for (int i = 0; i < programs; ++i) DeleteFileW((folder + L"v" + std::to_wstring(i) + L".exe").c_str());
      RemoveDirectoryW(folder.c_str());
      if (!allVerified) {
        std::printf("| verify   | %6d | CHECK FAILED: not every program was verified |\n", programs);
        benchFailed = true;
      } else {
        std::printf("| verify   | %6d | %9.2f ms per program, in idle time after the opening |\n", programs,
                    perProgram.front());
      }
    }
    // Comparing with a saved list: the user's Run key of 10,000 values
    // against a list saved of them (100 changed since), from the command
    // until the rows and their marks on screen have painted (the list read,
    // every row listed again as F5 lists it), against leaving for an empty
    // node and listing the same 10,000 and painting.
    if (wanted("compare")) {
      const int n = 10000, changed = 100;
      const BenchRunKey key(n);
      TVelmoraWin manager;
      ManagerDriver frame(*manager.Velmora);
      ShowWindow(manager.Handle(), SW_SHOWNOACTIVATE);
      const HTREEITEM runNode = frame.tvAutoRun.FirstChild(frame.tvAutoRun.Root());
      frame.tvAutoRun.Select(runNode);
      wchar_t temp[MAX_PATH];
      GetTempPathW(MAX_PATH, temp);
      const std::wstring saved = std::wstring(temp) + L"velbench-list.csv";
      frame.SaveListAsDialogWould(saved);
      for (int i = 0; i < changed; ++i) key.Set(BenchRunKey::Name(i), "C:\\Bench\\changed" + std::to_string(i) + ".exe");
      FloorWindow beside(manager);
      FloorList& list = *beside.list;
      auto product = [&] {
        frame.frame.CompareWith(saved);
        UpdateWindow(frame.lvAutoRun);
        UpdateWindow(frame.StatusBar);
      };
      auto floorList = [&] {
        SendMessageA(beside.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(beside.runOnce));
        SendMessageA(list.list, LVM_DELETEALLITEMS, 0, 0);
        FloorShowRun(beside, kUserRun);
      };
      const std::wstring runLocation = frame.NodeItem(runNode)->Location.Text();
      const Row row = Measure("compare", n, quick ? 3 : 7, product, floorList,
                              [&] { frame.frame.Execute(Command::StopComparing, frame.frame.TakeSelection()); },
                              [&]() -> std::string {
                                std::string held = ListHolds(frame, n, runLocation, L"VelBench");
                                if (!held.empty()) return held;
                                const int top = int(SendMessageW(frame.lvAutoRun, LVM_GETTOPINDEX, 0, 0));
                                const TAutoRunItem* item = frame.ListedItem(top);
                                const int number = std::stoi(AnsiFromWide(item->Name.substr(9)));
                                const std::wstring mark = frame.lvAutoRun.Text(top, kComparedColumn);
                                if (mark != (number < changed ? L"Command changed" : L""))
                                  return "the top row is marked '" + AnsiFromWide(mark) + "'";
                                return std::string();
                              });
      PrintRow(row);
      DeleteFileW(saved.c_str());
    }
    // Save list of 1,000 entries that start 100 programs of a megabyte each,
    // each looked up, verified and hashed: how long the window takes at
    // most to answer a message sent every 10 ms meanwhile, against the
    // 100 ms a click may wait (a figure, not a ratio to a floor: what is
    // asked is that the window never holds a click longer).
    if (wanted("save")) {
      const int entries = 1000, programs = 100;
      wchar_t temp[MAX_PATH];
      GetTempPathW(MAX_PATH, temp);
      const std::wstring folder = std::wstring(temp) + L"velbench-programs";
      CreateDirectoryW(folder.c_str(), nullptr);
      std::vector<std::uint8_t> bytes(1 << 20, 0x5A);
      for (int i = 0; i < programs; ++i) {
        bytes[0] = static_cast<std::uint8_t>(i);
        WriteWholeFile(folder + L"\\tool" + std::to_wstring(i) + L".exe", bytes, false);
      }
      const BenchRunKey key(0);
      for (int i = 0; i < entries; ++i)
        key.Set(BenchRunKey::Name(i), "\"" + AnsiFromWide(folder) + "\\tool" + std::to_string(i % programs) + ".exe\" /x");
      TVelmoraWin manager;
      ManagerDriver frame(*manager.Velmora);
      ShowWindow(manager.Handle(), SW_SHOWNOACTIVATE);
      const std::wstring saved = std::wstring(temp) + L"velbench-saved.csv";
      std::vector<double> longest, floorLongest;
      bool whole = true;
      // The opening's own work done first (each program verified and hashed
      // for its rows): what is measured is what the save does to the window.
      const auto verified = [&] {
        for (int row = 0; row < frame.lvAutoRun.Count(); ++row) {
          const TAutoRunItem* item = frame.RowItem(row);
          if (item->Facts && !item->Facts->signatureKnown) return false;
        }
        return true;
      };
      for (int run = 0; run < (quick ? 1 : 3); ++run) {
        for (int wait = 0; wait < 6 && !verified(); ++wait) PumpUntilDone(verified);
        Asker asker{frame.Handle()};
        const HANDLE thread = CreateThread(nullptr, 0, &AskWindow, &asker, 0, nullptr);
        frame.SaveListAsDialogWould(saved);
        InterlockedExchange(&asker.stop, 1);
        while (WaitForSingleObject(thread, 10) == WAIT_TIMEOUT) {
          MSG message;
          while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        }
        CloseHandle(thread);
        longest.push_back(asker.longest);
        // The floor: the same programs verified and hashed on a thread of
        // their own while the window only answers, asked the same way.
        Asker idle{frame.Handle()};
        const HANDLE asking = CreateThread(nullptr, 0, &AskWindow, &idle, 0, nullptr);
        const HANDLE hashing = CreateThread(nullptr, 0, &VerifyAndHash, const_cast<std::wstring*>(&folder), 0, nullptr);
        while (WaitForSingleObject(hashing, 10) == WAIT_TIMEOUT) {
          MSG message;
          while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        }
        InterlockedExchange(&idle.stop, 1);
        while (WaitForSingleObject(asking, 10) == WAIT_TIMEOUT) {
          MSG message;
          while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        }
        CloseHandle(hashing);
        CloseHandle(asking);
        floorLongest.push_back(idle.longest);
        std::vector<std::uint8_t> written;
        whole = whole && ReadWholeFile(saved, written) && std::count(written.begin(), written.end(), '\n') > entries;
        DeleteFileW(saved.c_str());
      }
      for (int i = 0; i < entries; ++i) RegDeleteValueA(key, BenchRunKey::Name(i).c_str());
      for (int i = 0; i < programs; ++i) DeleteFileW((folder + L"\\tool" + std::to_wstring(i) + L".exe").c_str());
      RemoveDirectoryW(folder.c_str());
      if (!whole) {
        std::printf("| save     | %6d | CHECK FAILED: the list saved does not hold every entry |\n", entries);
        benchFailed = true;
      } else {
        const double wait = *std::max_element(longest.begin(), longest.end());
        const double floorWait = *std::max_element(floorLongest.begin(), floorLongest.end());
        std::printf("| save     | %6d | %9.2f | %9.2f | %5.2f |  (longest wait for the window, ms; target 100 ms)\n",
                    entries, wait * 1e3, floorWait * 1e3, wait / floorWait);
      }
    }
    if (wanted("load")) {
      const Row load = MeasureLoad(quick ? 11 : 101);
      std::printf("| %-8s | %6d | %9.2f | %9.2f | %5.2f |  (us per load and handshake)\n", load.kind, load.n,
                  load.product * 1e6, load.floor * 1e6, load.product / load.floor);
    }
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, kBenchKey);
  RegDeleteTreeA(HKEY_CURRENT_USER, kApprovedRun);
  RegDeleteTreeA(HKEY_CURRENT_USER, kApprovedFolder);
  RunUnitFinalisations(false);
  return benchFailed ? 1 : 0;
}
