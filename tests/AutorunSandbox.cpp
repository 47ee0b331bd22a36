#include "AutorunSandbox.h"

#include "common/Unicode.h"
#include "manager/RecordStore.h"
#include "manager/TaskFiles.h"

#include <sddl.h>
#include <winternl.h>

#include <algorithm>

const char* const kRunKeys[4] = {"Run", "RunOnce", "RunServices", "RunServicesOnce"};
const char* const kWow64Run = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char* const kPolicyRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
const char* const kLegacyWindows = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char* const kWinlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const char* const kEnvironment = "Environment";
const char* const kLegacyWindows32 = "Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char* const kValuesOnlyKeys[5] = {kPolicies, kLegacyWindows, kWinlogon, kEnvironment, kLegacyWindows32};
const char* const kRunOnceExKeys[2] = {"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
                                        "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"};
const char* const kRemoteDesktopKeys[4] = {
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\Microsoft\\Windows\\"
    "CurrentVersion\\Run",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\Microsoft\\Windows\\"
    "CurrentVersion\\RunOnce",
    "Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\"
    "Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\"
    "Microsoft\\Windows\\CurrentVersion\\RunOnce"};
const char* const kTestComponent =
    "Software\\Microsoft\\Active Setup\\Installed Components\\{5E1A0F3C-7D1B-4C57-9E2A-VELMORA0TEST}";
const char* const kTestComponent32 =
    "Software\\Wow6432Node\\Microsoft\\Active Setup\\Installed Components\\{5E1A0F3C-7D1B-4C57-9E2A-VELMORA0TEST}";

namespace {

const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::vector<std::string> SandboxedKeys() {
  std::vector<std::string> keys;
  for (const char* key : kRunKeys) keys.push_back(RunKeyPath(key));
  // The 32-bit view's keys, as the native view names them.
  for (const char* key : kRunKeys)
    keys.push_back(std::string("Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\") + key);
  keys.push_back(kShellFolders);
  // Windows' startup switches.
  for (const char* key : {"Run", "Run32", "StartupFolder"}) keys.push_back(RunKeyPath(SwitchKey(key).c_str()));
  // The logon places beyond the Run keys: those of shared keys (which hold
  // other values and subkeys of Windows') by their values only.
  for (const char* key : kValuesOnlyKeys) keys.push_back(key);
  keys.push_back(kPolicyRun);
  for (const char* key : kRemoteDesktopKeys) keys.push_back(key);
  for (const char* key : kRunOnceExKeys) keys.push_back(key);
  keys.push_back(kTestComponent);
  keys.push_back(kTestComponent32);
  return keys;
}

bool ValuesOnly(const std::string& path) {
  for (const char* key : kValuesOnlyKeys)
    if (path == key) return true;
  return false;
}

HKEY OpenKey(HKEY root, const std::string& path, REGSAM access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  RegOpenKeyExA(root, path.c_str(), 0, access | KEY_WOW64_64KEY, &key);
  return key;
}

HKEY CreateKey(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr);
  return key;
}

// RegDeleteTreeA alone would follow the 32-bit view under WOW64.
void DeleteTree(HKEY root, const std::string& path) {
  const auto slash = path.find_last_of('\\');
  HKEY parent = OpenKey(root, path.substr(0, slash));
  if (!parent) return;
  RegDeleteTreeA(parent, path.substr(slash + 1).c_str());
  RegCloseKey(parent);
}

const char* StartupValueName(HKEY root) { return root == HKEY_LOCAL_MACHINE ? "Common Startup" : "Startup"; }

}  // namespace

std::string SwitchKey(const char* key) { return std::string("Explorer\\StartupApproved\\") + key; }

std::vector<BYTE> AutorunSandbox::Bytes(HKEY root, const char* key, const std::string& name, DWORD* type) const {
  std::vector<BYTE> data(1 << 16);
  DWORD size = static_cast<DWORD>(data.size()), valueType = REG_NONE;
  HKEY opened = OpenKey(root, RunKeyPath(key), KEY_READ);
  const LONG result =
      opened ? RegQueryValueExA(opened, name.c_str(), nullptr, &valueType, data.data(), &size) : ERROR_FILE_NOT_FOUND;
  if (opened) RegCloseKey(opened);
  if (type) *type = result == ERROR_SUCCESS ? valueType : REG_NONE;
  data.resize(result == ERROR_SUCCESS ? size : 0);
  return data;
}

std::string RunKeyPath(const char* key) { return std::string("Software\\Microsoft\\Windows\\CurrentVersion\\") + key; }

std::string LocationText(HKEY root, const char* key) {
  return std::string(root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") + RunKeyPath(key);
}

AutorunSandbox::AutorunSandbox() {
  // What the commands keep of what they remove starts and ends empty, and
  // no opening came before (no last look, no saved layout).
  DeleteTreeOnDisk(AnsiFromWide(RecordFolder()));
  DeleteFileW(LastLookPath().c_str());
  DeleteFileW(LayoutPath().c_str());
  // Windows always has its Tasks folder; Wine makes it when its Schedule
  // service first starts: the machine's places do not depend on that.
  CreateDirectoryW(TaskFolder().c_str(), nullptr);
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (const std::string& path : SandboxedKeys()) {
      SavedKey saved{root, path, false, {}};
      if (HKEY key = OpenKey(root, path, KEY_READ)) {
        saved.existed = true;
        wchar_t name[16384];  // any name, byte-exact: a test may leave one in no code page
        std::vector<BYTE> data(1 << 20);
        for (DWORD i = 0;; ++i) {
          DWORD nameLength = 16384, size = static_cast<DWORD>(data.size()), type = 0;
          if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
          saved.values.push_back({std::wstring(name, nameLength), type, std::vector<BYTE>(data.begin(), data.begin() + size)});
        }
        RegCloseKey(key);
      }
      saved_.push_back(std::move(saved));
    }
    SetStartupValue(root, (root == HKEY_LOCAL_MACHINE ? commonStartup_ : userStartup_).Path());
    // The logon places beyond the Run keys start with no entries (and a
    // policy skips nothing); a test that wants them writes them. The user's
    // legacy and Winlogon keys exist, as on Windows (a fresh Wine prefix
    // may have neither).
    if (root == HKEY_CURRENT_USER)
      for (const char* path : {kLegacyWindows, kWinlogon}) RegCloseKey(CreateKey(root, path));
    for (const char* path : kValuesOnlyKeys)
      if (HKEY key = OpenKey(root, path)) {
        for (const wchar_t* name : {L"Load", L"Run", L"Shell", L"Userinit", L"DisableLocalMachineRun",
                                    L"DisableLocalMachineRunOnce", L"DisableCurrentUserRun", L"DisableCurrentUserRunOnce",
                                    L"UserInitMprLogonScript", L"AppSetup", L"Taskman", L"AppInit_DLLs",
                                    L"LoadAppInit_DLLs"})
          RegDeleteValueW(key, name);
        RegCloseKey(key);
      }
    for (const char* path : {kPolicyRun, kTestComponent, kTestComponent32}) DeleteTree(root, path);
    for (const char* path : kRemoteDesktopKeys) DeleteTree(root, path);
    for (const char* path : kRunOnceExKeys) DeleteTree(root, path);
  }
}

const char* AutorunSandbox::ShellFoldersPath() { return kShellFolders; }

namespace {
void SetDacl(HKEY root, const std::string& path, const char* sddl) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr)) {
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
  }
  RegCloseKey(key);
}
}  // namespace

void AutorunSandbox::MakeReadOnly(HKEY root, const std::string& path) { SetDacl(root, path, "D:P(A;;KR;;;WD)"); }

void AutorunSandbox::MakeWritable(HKEY root, const std::string& path) { SetDacl(root, path, "D:P(A;;KA;;;WD)"); }

AutorunSandbox::~AutorunSandbox() {
  DeleteTreeOnDisk(AnsiFromWide(RecordFolder()));
  DeleteFileW(LastLookPath().c_str());
  DeleteFileW(LayoutPath().c_str());
  for (const SavedKey& saved : saved_) {
    MakeWritable(saved.root, saved.path);
    if (saved.existed && ValuesOnly(saved.path)) {
      // Every value goes, whatever its name, then the saved ones return.
      if (HKEY key = OpenKey(saved.root, saved.path)) {
        wchar_t name[16384];
        for (;;) {
          DWORD length = 16384;
          if (RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
          if (RegDeleteValueW(key, name) != ERROR_SUCCESS) break;
        }
        RegCloseKey(key);
      }
    } else {
      DeleteTree(saved.root, saved.path);
    }
    if (!saved.existed) continue;
    HKEY key = CreateKey(saved.root, saved.path);
    for (const SavedValue& value : saved.values)
      RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
  }
}

void AutorunSandbox::EmptyKey(HKEY root, const char* key) {
  DeleteTree(root, RunKeyPath(key));
  RegCloseKey(CreateKey(root, RunKeyPath(key)));
}

void AutorunSandbox::RemoveKey(HKEY root, const char* key) { DeleteTree(root, RunKeyPath(key)); }

void AutorunSandbox::SetRawValue(HKEY root, const char* key, const std::string& name, DWORD type, const void* data,
                                 DWORD size) {
  HKEY opened = CreateKey(root, RunKeyPath(key));
  RegSetValueExA(opened, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(opened);
}

void AutorunSandbox::SetValue(HKEY root, const char* key, const std::string& name, const std::string& data, DWORD type) {
  SetRawValue(root, key, name, type, data.c_str(), static_cast<DWORD>(data.size() + 1));
}

std::vector<std::string> AutorunSandbox::Names(HKEY root, const char* key) const {
  std::vector<std::string> names;
  HKEY opened = OpenKey(root, RunKeyPath(key), KEY_READ);
  if (!opened) return names;
  char name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumValueA(opened, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  RegCloseKey(opened);
  std::sort(names.begin(), names.end());
  return names;
}

std::string AutorunSandbox::Value(HKEY root, const char* key, const std::string& name, DWORD* type) const {
  HKEY opened = OpenKey(root, RunKeyPath(key), KEY_READ);
  std::vector<char> data(1 << 16);
  DWORD size = static_cast<DWORD>(data.size()), valueType = REG_NONE;
  const LONG result = opened ? RegQueryValueExA(opened, name.c_str(), nullptr, &valueType,
                                                reinterpret_cast<BYTE*>(data.data()), &size)
                             : ERROR_FILE_NOT_FOUND;
  if (opened) RegCloseKey(opened);
  if (type) *type = result == ERROR_SUCCESS ? valueType : REG_NONE;
  if (result != ERROR_SUCCESS) return "(missing)";
  std::string text(data.data(), size);
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

bool AutorunSandbox::HasValue(HKEY root, const char* key, const std::string& name) const {
  DWORD type;
  Value(root, key, name, &type);
  return type != REG_NONE;
}

void AutorunSandbox::SetStartupValue(HKEY root, const std::string& text, DWORD type) {
  HKEY key = CreateKey(root, kShellFolders);
  RegSetValueExA(key, StartupValueName(root), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

void AutorunSandbox::RemoveStartupValue(HKEY root) {
  HKEY key = OpenKey(root, kShellFolders);
  RegDeleteValueA(key, StartupValueName(root));
  RegCloseKey(key);
}

std::vector<BYTE> Utf16(const std::wstring& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

void SetValueAt(HKEY root, const std::string& path, const std::wstring& name, DWORD type,
                const std::vector<BYTE>& data) {
  using SetValueKey = LONG(WINAPI*)(HANDLE, UNICODE_STRING*, ULONG, ULONG, const void*, ULONG);
  static const auto setValueKey = reinterpret_cast<SetValueKey>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtSetValueKey")));
  const HKEY key = CreateKey(root, path);
  UNICODE_STRING unicode{static_cast<USHORT>(name.size() * 2), static_cast<USHORT>(name.size() * 2),
                         const_cast<wchar_t*>(name.data())};
  setValueKey(key, &unicode, 0, type, data.data(), static_cast<ULONG>(data.size()));
  RegCloseKey(key);
}

bool HasValueAt(HKEY root, const std::string& path, const std::wstring& name) {
  const HKEY key = OpenKey(root, path, KEY_READ);
  if (!key) return false;
  const bool has = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return has;
}

std::map<std::wstring, StoredBytes> SnapshotAt(HKEY root, const std::string& path) {
  std::map<std::wstring, StoredBytes> values;
  const HKEY key = OpenKey(root, path, KEY_READ);
  if (!key) return values;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    std::vector<BYTE> data(4096);
    DWORD nameLength = 256, size = static_cast<DWORD>(data.size()), type = 0;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size)) break;
    data.resize(size);
    values[std::wstring(name, nameLength)] = StoredBytes{true, type, data};
  }
  RegCloseKey(key);
  return values;
}

std::map<std::wstring, std::wstring> ValuesAt(HKEY root, const std::string& path) {
  std::map<std::wstring, std::wstring> values;
  for (const auto& [name, value] : SnapshotAt(root, path))
    values[name] = value.type == REG_BINARY ? std::to_wstring(value.data.size()) + L" bytes"
                                            : std::wstring(reinterpret_cast<const wchar_t*>(value.data.data()),
                                                           value.data.size() / 2)
                                                  .c_str();
  return values;
}

bool ImportWithRegistryEditor(const std::wstring& file) {
  std::wstring command = L"C:\\windows\\regedit.exe /s \"" + file + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  const bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended;
}
