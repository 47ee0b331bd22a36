// Seeds a Wine prefix with a few example autorun entries for the demo:
// Run values (one named, one pointing, beyond the ANSI code page; one
// switched off in Windows' startup settings; one whose program is gone; one
// whose name holds a NUL), a
// Run value deleted earlier, kept in "REMOVED", a RunOnce value, and a shortcut and a program file in the user's Startup
// folder; the logon places beyond the Run keys (SeedLogonPlaces); two
// scheduled tasks that start at logon, one with its trigger switched off
// (SeedTasks); a list saved "before" to compare with (SeedSavedList).
#include <windows.h>
#include <winternl.h>
#include <objbase.h>
#include <shlobj.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdint>
#include <vector>
#include <cwchar>
#include <string>

#include "common/Csv.h"
#include "common/FileTools.h"
#include "common/ShellLink.h"
#include "manager/ListSaving.h"
#include "manager/LocationCatalogue.h"
#include "manager/RecordStore.h"
#include "manager/TaskDefinition.h"
#include "manager/TaskFiles.h"

namespace {

void SetRunValue(const char* key, const char* name, const char* data) {
  HKEY opened;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr)) return;
  RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), DWORD(strlen(data) + 1));
  RegCloseKey(opened);
}

// Written with the registry's UTF-16 calls: the texts are beyond any
// ANSI code page.
void SetWideRunValue(const wchar_t* name, const wchar_t* data) {
  HKEY opened;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &opened, nullptr))
    return;
  RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                 static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
  RegCloseKey(opened);
}

// A value whose name holds a NUL, as only the native call writes one (a
// way to hide an entry from tools that read names as C strings).
void SetHiddenRunValue(const std::wstring& name, const wchar_t* data) {
  using SetValueKey = LONG(WINAPI*)(HANDLE, UNICODE_STRING*, ULONG, ULONG, const void*, ULONG);
  const auto setValueKey = reinterpret_cast<SetValueKey>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtSetValueKey")));
  HKEY opened;
  if (!setValueKey || RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                                      nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr))
    return;
  UNICODE_STRING unicode{static_cast<USHORT>(name.size() * 2), static_cast<USHORT>(name.size() * 2),
                         const_cast<wchar_t*>(name.data())};
  setValueKey(opened, &unicode, 0, REG_SZ, data, static_cast<ULONG>((wcslen(data) + 1) * sizeof(wchar_t)));
  RegCloseKey(opened);
}

// The demo's programs hold nothing but a version resource (they are built
// as libraries without code, so nothing can start one): built beside this
// seeder, in programs\demo.
std::wstring DemoProgram(const std::wstring& name) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder = self;
  folder.resize(folder.find_last_of(L'\\') + 1);
  return folder + L"programs\\demo\\" + name;
}

// Puts the demo program `name` at `path`.
void PlaceProgram(const std::wstring& name, const std::wstring& path) {
  for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1))
    CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
  if (!CopyFileW(DemoProgram(name).c_str(), path.c_str(), FALSE))
    std::printf("could not place %ls (%lu)\n", name.c_str(), GetLastError());
}

// The tray program as a test publisher signed it, under a root the demo
// prefix trusts (kept once the store is closed).
void PlaceSignedTray() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder = self;
  folder.resize(folder.find_last_of(L'\\') + 1);
  folder += L"programs\\demo-signed\\";
  std::vector<std::uint8_t> root;
  if (FILE* file = _wfopen((folder + L"root.cer").c_str(), L"rb")) {
    std::uint8_t buffer[4096];
    for (size_t read; (read = fread(buffer, 1, sizeof buffer, file)) > 0;) root.insert(root.end(), buffer, buffer + read);
    fclose(file);
  }
  if (HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root")) {
    if (!root.empty())
      CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, root.data(), static_cast<DWORD>(root.size()),
                                       CERT_STORE_ADD_USE_EXISTING, nullptr);
    CertCloseStore(store, 0);
  }
  if (!CopyFileW((folder + L"verified.exe").c_str(), L"C:\\Program Files\\Velmora Demo\\tray.exe", FALSE))
    std::printf("could not place the signed tray program (%lu)\n", GetLastError());
}

// Switched off as Task Manager's Startup tab does it: 03 00 00 00 and the
// time of the switch.
void SwitchOff(const wchar_t* name) {
  HKEY opened;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run", 0,
                      nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr))
    return;
  BYTE data[12] = {3};
  GetSystemTimeAsFileTime(reinterpret_cast<FILETIME*>(data + 4));
  RegSetValueExW(opened, name, 0, REG_BINARY, data, sizeof data);
  RegCloseKey(opened);
}

// Any value below a root in the native view (Winlogon is redirected for a
// 32-bit program).
void SetValueAt(HKEY root, const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  HKEY opened;
  if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &opened, nullptr)) return;
  RegSetValueExW(opened, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(opened);
}

void SetTextAt(HKEY root, const wchar_t* key, const wchar_t* name, const wchar_t* text) {
  SetValueAt(root, key, name, REG_SZ, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

// The logon places beyond the Run keys: a policy's program, a legacy Load
// value, a Userinit that also starts a helper (not Windows' default), an
// Active Setup component, and a policy that has Windows skip the user's
// RunOnce key.
void SeedLogonPlaces() {
  SetTextAt(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
            L"Demo Policy Agent", L"\"C:\\Program Files\\Velmora Demo\\helper.exe\" /policy");
  SetTextAt(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"Load",
            L"C:\\OldToolbar\\toolbar.exe, C:\\OldToolbar\\tips.exe");
  wchar_t system[MAX_PATH] = L"C:\\windows\\system32";
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring userinit = std::wstring(system) + L"\\userinit.exe, C:\\Program Files\\Velmora Demo\\helper.exe";
  SetTextAt(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"Userinit",
            userinit.c_str());
  const wchar_t* component =
      L"Software\\Microsoft\\Active Setup\\Installed Components\\{6F1C2D3E-0A4B-4C5D-8E9F-0123456789AB}";
  SetTextAt(HKEY_LOCAL_MACHINE, component, L"", L"Velmora Demo Profile Setup");
  SetTextAt(HKEY_LOCAL_MACHINE, component, L"StubPath", L"\"C:\\Program Files\\Velmora Demo\\cleanup.exe\" /user");
  const DWORD one = 1;
  SetValueAt(HKEY_LOCAL_MACHINE, component, L"IsInstalled", REG_DWORD, &one, sizeof one);
  SetValueAt(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
             L"DisableCurrentUserRunOnce", REG_DWORD, &one, sizeof one);
  // The places added later, one entry each. Wine runs none of them; the
  // AppInit libraries are not loaded (LoadAppInit_DLLs is 0) either way.
  SetTextAt(HKEY_CURRENT_USER, L"Environment", L"UserInitMprLogonScript", L"C:\\Scripts\\Velmora Demo\\logon.cmd");
  SetTextAt(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx\\0001", L"",
            L"Velmora Demo finishing");
  SetTextAt(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx\\0001", L"1",
            L"||\"C:\\Program Files\\Velmora Demo\\cleanup.exe\" /once");
  SetTextAt(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"AppSetup",
            L"\"C:\\Program Files\\Velmora Demo\\helper.exe\" /setup");
  const std::wstring install =
      L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\Microsoft\\Windows\\"
      L"CurrentVersion\\";
  SetTextAt(HKEY_LOCAL_MACHINE, (install + L"Run").c_str(), L"Demo Session Agent",
            L"\"C:\\Program Files\\Velmora Demo\\tray.exe\" /session");
  SetTextAt(HKEY_LOCAL_MACHINE, (install + L"RunOnce").c_str(), L"Demo Session Setup",
            L"\"C:\\Program Files\\Velmora Demo\\cleanup.exe\" /session");
  const wchar_t* windows = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  SetTextAt(HKEY_LOCAL_MACHINE, windows, L"AppInit_DLLs", L"C:\\PROGRA~1\\VELMOR~1\\hook.dll");
  const DWORD zero = 0;
  SetValueAt(HKEY_LOCAL_MACHINE, windows, L"LoadAppInit_DLLs", REG_DWORD, &zero, sizeof zero);
}

// As Windows writes a task file (UTF-16LE with a byte-order mark) into
// the native Tasks folder: Wine takes such a file for a registered task.
void WriteTaskFile(const std::wstring& path, const std::wstring& trigger, const std::wstring& command) {
  const std::wstring xml =
      L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
      L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
      L"  <RegistrationInfo><Author>Velmora Demo</Author></RegistrationInfo>\r\n"
      L"  <Triggers>" + trigger + L"</Triggers>\r\n"
      L"  <Settings><Enabled>true</Enabled></Settings>\r\n"
      L"  <Actions Context=\"Author\"><Exec><Command>" + command + L"</Command></Exec></Actions>\r\n</Task>\r\n";
  WriteWholeFile(TaskFolder() + path, TaskFileBytes(xml), true);
}

void SeedTasks() {
  const std::wstring root = TaskFolder();
  CreateDirectoryW(root.c_str(), nullptr);
  CreateDirectoryW((root + L"\\Velmora Demo").c_str(), nullptr);
  WriteTaskFile(L"\\Velmora Demo\\Updater", L"<LogonTrigger><Delay>PT30S</Delay></LogonTrigger>",
                L"C:\\Program Files\\Velmora Demo\\tray.exe");
  WriteTaskFile(L"\\Velmora Demo\\Elevated Helper", L"<LogonTrigger><Enabled>false</Enabled></LogonTrigger>",
                L"C:\\Program Files\\Velmora Demo\\helper.exe");
}

}  // namespace

// A list as "Save list..." would have written it before the demo changed:
// every entry listed now, except that "Demo Photos" came since, the notes
// program moved since, and "Demo Sync" has gone since (it is in
// "REMOVED"). No programs or hashes: only the commands are compared.
void SeedSavedList(const wchar_t* path) {
  std::vector<std::unique_ptr<TAutoRunNode>> nodes;
  std::vector<const TAutoRunNode*> places;
  for (const CatalogueNode& node : ReadLocationCatalogue()) {
    if (node.isRoot) continue;
    nodes.push_back(std::make_unique<TAutoRunNode>());
    nodes.back()->Location = node.location;
    nodes.back()->SwitchLocation = node.switches;
    places.push_back(nodes.back().get());
  }
  std::vector<ListedEntry> entries;
  try {
    entries = ListedEntries(places);
  } catch (...) {
    return;
  }
  const std::wstring run = L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  entries.push_back({run, L"Demo Sync", L"\"%ProgramFiles%\\Velmora Demo\\sync.exe\" /background", L"on", {}});
  std::string csv = Utf8ByteOrderMark();
  csv += CsvRecord({L"Location", L"Name", L"Command", L"State", L"Missing", L"Publisher", L"Description",
                    L"Verified signer", L"Program", L"SHA-256", L"Format"});
  for (ListedEntry& entry : entries) {
    if (entry.location == run && entry.name == L"Demo Photos") continue;
    if (entry.location == run && entry.name == L"\u0417\u0430\u043c\u0435\u0442\u043a\u0438")
      entry.command = L"C:\\Program Files\\Velmora Demo\\notes-old.exe";
    std::vector<std::wstring> fields = {entry.location, ListName(entry.name), entry.command, entry.state, L"", L"",
                                        L"", L"", L"", L"", L"velmora-list 2"};
    for (std::wstring& field : fields) field = AsSpreadsheetText(field);
    csv += CsvRecord(fields);
  }
  WriteWholeFile(path, std::vector<std::uint8_t>(csv.begin(), csv.end()), true);
}

int main() {
  CoInitialize(nullptr);
  // The programs named here are not programs (or missing), so that Wine's
  // start-up, which runs the Run and RunOnce entries, starts nothing.
  SetRunValue("Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Demo Tray",
              "\"C:\\Program Files\\Velmora Demo\\tray.exe\" /minimized");
  // "Заметки" (notes), and a program under "Фото" (photos).
  SetWideRunValue(L"\u0417\u0430\u043c\u0435\u0442\u043a\u0438", L"C:\\Program Files\\Velmora Demo\\notes.exe");
  SetWideRunValue(L"Demo Photos", L"C:\\Program Files\\\u0424\u043e\u0442\u043e\\photos.exe");
  SetRunValue("Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "Demo Cleanup",
              "C:\\Program Files\\Velmora Demo\\cleanup.exe");
  SwitchOff(L"Demo Tray");
  SeedLogonPlaces();
  SeedTasks();
  SetHiddenRunValue(std::wstring(L"Tray\0Svc", 8), L"C:\\Program Files\\Velmora Demo\\tray.exe");
  // Deleted in an earlier run: kept, so that "REMOVED" can put it back.
  if (KeptRecords().empty()) {
    EntryRecord removed;
    removed.location = L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    removed.name = L"Demo Sync";
    removed.switchLocation =
        L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
    const std::wstring command = L"\"%ProgramFiles%\\Velmora Demo\\sync.exe\" /background";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(command.c_str());
    removed.value = StoredBytes{true, REG_EXPAND_SZ, std::vector<std::uint8_t>(bytes, bytes + (command.size() + 1) * 2)};
    KeepRecord(removed);
  }
  // What an earlier opening showed: since then "Demo Photos" came and
  // the notes program moved, so both are marked at the next opening.
  const std::wstring userKeys = L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\";
  LastLook look;
  look[userKeys + L"Run"] = {
      {L"Demo Tray", L"\"C:\\Program Files\\Velmora Demo\\tray.exe\" /minimized", 0, false, true},
      {L"\u0417\u0430\u043c\u0435\u0442\u043a\u0438", L"C:\\Program Files\\Velmora Demo\\notes-old.exe", 0, false, false},
      {L"Old Updater", L"\"C:\\Program Files\\Uninstalled App\\updater.exe\" /check", 0, false, false},
      {std::wstring(L"Tray\0Svc", 8), L"C:\\Program Files\\Velmora Demo\\tray.exe", 0, false, false}};
  look[userKeys + L"RunOnce"] = {{L"Demo Cleanup", L"C:\\Program Files\\Velmora Demo\\cleanup.exe", 0, false, false}};
  KeepLastLook(look);
  // No saved layout: the screenshot shows the first opening, as wide as
  // its columns need.
  DeleteFileW(LayoutPath().c_str());
  // Left behind by a program uninstalled long ago.
  SetRunValue("Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Old Updater",
              "\"C:\\Program Files\\Uninstalled App\\updater.exe\" /check");
  for (const wchar_t* program : {L"tray.exe", L"notes.exe", L"cleanup.exe", L"helper.exe"})
    PlaceProgram(program, std::wstring(L"C:\\Program Files\\Velmora Demo\\") + program);
  PlaceProgram(L"photos.exe", L"C:\\Program Files\\\u0424\u043e\u0442\u043e\\photos.exe");
  PlaceSignedTray();

  char startup[MAX_PATH] = "";
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_STARTUP | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, startup))) {
    std::printf("no Startup folder\n");
    return 1;
  }
  const std::string folder = startup;
  std::string link;
  if (GetFileAttributesA((folder + "\\helper.lnk").c_str()) == INVALID_FILE_ATTRIBUTES)
    CreateShortcut(folder, "C:\\Program Files\\Velmora Demo\\helper.exe", "", "", link);
  wchar_t wideStartup[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, CSIDL_STARTUP, nullptr, SHGFP_TYPE_CURRENT, wideStartup);
  PlaceProgram(L"demo-tool.exe", std::wstring(wideStartup) + L"\\demo-tool.exe");
  SeedSavedList(L"C:\\Velmora list before.csv");
  std::printf("Seeded %s\n", folder.c_str());
  CoUninitialize();
  return 0;
}
