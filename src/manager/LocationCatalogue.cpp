#include "manager/LocationCatalogue.h"

#include "manager/TaskFiles.h"

#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Names.h"
#include "common/Registry.h"
#include "common/Unicode.h"

namespace {

const wchar_t kCurrentVersion[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\";
const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t kPolicies[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
// Windows' startup switches, always in the native view: "Run32" holds the
// 32-bit view's Run entries on 64-bit Windows.
const wchar_t kStartupApproved[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";

// A wrong Shell or Userinit keeps the user from logging on: the machine's
// values are only put back to Windows' default; a user's own shell may go.
PlaceRules Rules(bool add, bool change, bool remove, bool rename) {
  PlaceRules rules;
  rules.add = add;
  rules.change = change;
  rules.remove = remove;
  rules.rename = rename;
  return rules;
}
const PlaceRules kLegacy = [] {
  PlaceRules rules;
  rules.names = {L"Load", L"Run"};
  rules.programs = ProgramText::CommasOrSpaces;
  return rules;
}();
// AppSetup and Taskman have no default of Windows': what is there came
// from something else, and may be changed or deleted (kept in a record).
const PlaceRules kMachineWinlogon = [] {
  PlaceRules rules = Rules(false, true, true, false);
  rules.names = {L"Shell", L"Userinit", L"AppSetup", L"Taskman"};
  rules.defaultsOnlyPutBack = true;
  rules.programs = ProgramText::Commas;
  rules.windowsDefaults = true;
  return rules;
}();
const PlaceRules kUserWinlogon = [] {
  PlaceRules rules = Rules(false, false, true, false);
  rules.names = {L"Shell"};
  rules.windowsDefaults = true;
  return rules;
}();
const PlaceRules kActiveSetup = [] {
  PlaceRules rules = Rules(false, true, true, false);
  rules.subkeyValue = L"StubPath";
  rules.unlessZero = L"IsInstalled";
  return rules;
}();

// Windows runs the user's logon script before the desktop: the one value
// of the user's Environment key that starts a program.
const PlaceRules kLogonScript = [] {
  PlaceRules rules = Rules(true, true, true, false);
  rules.names = {L"UserInitMprLogonScript"};
  return rules;
}();

// The libraries every program that loads user32 loads too, while the
// key's LoadAppInit_DLLs is not 0: each one is a program of the row.
const PlaceRules kAppInit = [] {
  PlaceRules rules = Rules(false, true, true, false);
  rules.names = {L"AppInit_DLLs"};
  rules.programs = ProgramText::EachLibrary;
  rules.loadedUnlessZero = L"LoadAppInit_DLLs";
  return rules;
}();

// Windows runs each section's entries once, at the next logon, in order.
const PlaceRules kRunOnceEx = [] {
  PlaceRules rules = Rules(false, true, true, false);
  rules.programs = ProgramText::RunOnceEx;
  return rules;
}();

// A task is deleted (kept in a record) and switched; the item dialog
// edits a command line, and a task is more than one.
const PlaceRules kTasks = Rules(false, false, true, false);

const wchar_t* const kStartupFolderPlace = nullptr;  // the root's Startup folder, from Shell Folders

// One place: a row here is all a new place of a known kind needs.
struct Place {
  RegistryRoot root;
  const wchar_t* caption;
  const wchar_t* path;  // under the root; kStartupFolderPlace for the Startup folder
  LocationKind kind;
  const PlaceRules* rules;
  const wchar_t* switchKey;   // under StartupApproved; null where Windows has no switch
  const wchar_t* skippedBy;   // the policy value that makes Windows skip the key
  bool wow64Only;             // the 32-bit programs' twin: only where there are two views
};

const wchar_t kRemoteDesktopRun[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\Microsoft\\Windows\\"
    L"CurrentVersion\\Run";
const wchar_t kRemoteDesktopRunOnce[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\Microsoft\\Windows\\"
    L"CurrentVersion\\RunOnce";
const wchar_t kRemoteDesktopRun32[] =
    L"Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\"
    L"Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRemoteDesktopRunOnce32[] =
    L"Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\"
    L"Microsoft\\Windows\\CurrentVersion\\RunOnce";

constexpr RegistryRoot kUser = RegistryRoot::CurrentUser, kMachine = RegistryRoot::LocalMachine;
constexpr LocationKind kValues = LocationKind::Values;
const PlaceRules* const kPlain = &PlaceRules::Plain();

const Place kPlaces[] = {
    {kUser, L"Run", L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", kValues, kPlain, L"Run",
     L"DisableCurrentUserRun", false},
    {kUser, L"Run Once", L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", kValues, kPlain, nullptr,
     L"DisableCurrentUserRunOnce", false},
    {kUser, L"Run Services", L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices", kValues, kPlain, nullptr,
     nullptr, false},
    {kUser, L"Run Services Once", L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", kValues, kPlain,
     nullptr, nullptr, false},
    {kUser, L"Auto Run", kStartupFolderPlace, LocationKind::Folder, kPlain, L"StartupFolder", nullptr, false},
    {kUser, L"Run (policy)", L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run", kValues, kPlain,
     nullptr, nullptr, false},
    {kUser, L"Load and Run (legacy)", L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
     LocationKind::ChosenValues, &kLegacy, nullptr, nullptr, false},
    {kUser, L"Winlogon", L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", LocationKind::ChosenValues,
     &kUserWinlogon, nullptr, nullptr, false},
    {kUser, L"Logon script", L"Environment", LocationKind::ChosenValues, &kLogonScript, nullptr, nullptr, false},
    // One key for both views.
    {kUser, L"Run Once Ex", L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", LocationKind::Sections,
     &kRunOnceEx, nullptr, nullptr, false},

    {kMachine, L"Run", L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", kValues, kPlain, L"Run",
     L"DisableLocalMachineRun", false},
    {kMachine, L"Run Once", L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", kValues, kPlain, nullptr,
     L"DisableLocalMachineRunOnce", false},
    {kMachine, L"Run Services", L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices", kValues, kPlain, nullptr,
     nullptr, false},
    {kMachine, L"Run Services Once", L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", kValues,
     kPlain, nullptr, nullptr, false},
    {kMachine, L"Run (32-bit)", L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", kValues, kPlain,
     L"Run32", L"DisableLocalMachineRun", true},
    {kMachine, L"Run Once (32-bit)", L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce", kValues,
     kPlain, nullptr, L"DisableLocalMachineRunOnce", true},
    {kMachine, L"Run Services (32-bit)", L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunServices",
     kValues, kPlain, nullptr, nullptr, true},
    {kMachine, L"Run Services Once (32-bit)",
     L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", kValues, kPlain, nullptr, nullptr,
     true},
    {kMachine, L"Auto Run", kStartupFolderPlace, LocationKind::Folder, kPlain, L"StartupFolder", nullptr, false},
    // Shared by both views: one node.
    {kMachine, L"Run (policy)", L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run", kValues,
     kPlain, nullptr, nullptr, false},
    // Redirected: the native view is the one Windows reads.
    {kMachine, L"Winlogon", L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", LocationKind::ChosenValues,
     &kMachineWinlogon, nullptr, nullptr, false},
    {kMachine, L"Active Setup", L"Software\\Microsoft\\Active Setup\\Installed Components", LocationKind::SubkeyValue,
     &kActiveSetup, nullptr, nullptr, false},
    {kMachine, L"Active Setup (32-bit)", L"Software\\Wow6432Node\\Microsoft\\Active Setup\\Installed Components",
     LocationKind::SubkeyValue, &kActiveSetup, nullptr, nullptr, true},
    // The machine's: a trigger may name one user, the task is registered once.
    {kMachine, L"Scheduled tasks", nullptr, LocationKind::Tasks, &kTasks, nullptr, nullptr, false},
    {kMachine, L"Run Once Ex", L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", LocationKind::Sections,
     &kRunOnceEx, nullptr, nullptr, false},
    {kMachine, L"Run Once Ex (32-bit)", L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
     LocationKind::Sections, &kRunOnceEx, nullptr, nullptr, true},
    // On a Remote Desktop host, what an installation wrote here reaches
    // each user's own Run and RunOnce keys at logon.
    {kMachine, L"Run (Remote Desktop install)", kRemoteDesktopRun, kValues, kPlain, nullptr, nullptr, false},
    {kMachine, L"Run Once (Remote Desktop install)", kRemoteDesktopRunOnce, kValues, kPlain, nullptr, nullptr, false},
    {kMachine, L"Run (Remote Desktop install) (32-bit)", kRemoteDesktopRun32, kValues, kPlain, nullptr, nullptr, true},
    {kMachine, L"Run Once (Remote Desktop install) (32-bit)", kRemoteDesktopRunOnce32, kValues, kPlain, nullptr, nullptr,
     true},
    // Each view's own: a 32-bit program's user32 reads the 32-bit view.
    {kMachine, L"AppInit DLLs", L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", LocationKind::ChosenValues,
     &kAppInit, nullptr, nullptr, false},
    {kMachine, L"AppInit DLLs (32-bit)", L"Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
     LocationKind::ChosenValues, &kAppInit, nullptr, nullptr, true},
};

struct Root {
  const wchar_t* caption;
  RegistryRoot root;
  std::wstring (*startupFolder)();
};
const Root kRoots[] = {
    {L"CURRENT USER", kUser, &GetUserStartupFolder},
    {L"LOCAL MACHINE", kMachine, &GetCommonStartupFolder},
};

int wow64Override = -1;

HKEY KeyOf(RegistryRoot root) { return root == kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

bool KeyIsPresent(const Location& location) {
  RegistryKey key;
  return OpenLocation(key, location, KeyAccess::Presence) == ERROR_SUCCESS;
}

// Shell Folders is only read, so a user who may not write the key (any
// HKEY_LOCAL_MACHINE key without elevation) still finds the folder.
std::wstring ReadStartupFolder(HKEY root, const wchar_t* valueName) {
  RegistryKey key;
  if (key.Open(root, std::wstring(kShellFolders), KeyAccess::Read, RegistryView::Native) != ERROR_SUCCESS)
    return std::wstring();
  std::wstring folder;
  const LONG result = key.ReadString(std::wstring(valueName), folder);
  if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
    throw ERegistryException(FormatMessageText(ReadFailurePattern(result), valueName), result);
  return folder;
}

// A DWORD value of a key; 0 when the key or the value is missing, or the
// value is no DWORD.
DWORD DwordAt(const Location& location, const std::wstring& name) {
  RegistryKey key;
  DWORD type = REG_NONE, value = 0;
  std::vector<BYTE> data;
  if (OpenLocation(key, location, KeyAccess::Read) == ERROR_SUCCESS && key.QueryValue(name, type, data) == ERROR_SUCCESS &&
      type == REG_DWORD && data.size() >= sizeof value)
    memcpy(&value, data.data(), sizeof value);
  return value;
}

}  // namespace

LONG OpenLocation(RegistryKey& key, const Location& location, KeyAccess access) {
  if (!location.IsKey()) return ERROR_FILE_NOT_FOUND;
  return key.Open(KeyOf(location.root), location.path, access, RegistryView::Native);
}

RegistryKey OpenLocationOrThrow(const Location& location, KeyAccess access) {
  RegistryKey key;
  const LONG result = OpenLocation(key, location, access);
  if (result != ERROR_SUCCESS)
    throw ERegistryException(FormatMessageText("Failed to open key '%s'", location.Text()), result);
  return key;
}

std::wstring SubkeyEntryTitle(const Location& key, const std::wstring& name) {
  const Location parent = key.Parent();
  for (const Place& place : kPlaces) {
    if (place.kind != LocationKind::SubkeyValue || !SameName(name, place.rules->subkeyValue)) continue;
    if (!(Location::Key(place.root, place.path) == parent)) continue;
    RegistryKey component;
    std::wstring title;
    if (OpenLocation(component, key, KeyAccess::Read) == ERROR_SUCCESS &&
        component.ReadString(std::wstring(), title) == ERROR_SUCCESS && !title.empty())
      return title;
    return key.path.substr(key.path.find_last_of(L'\\') + 1);
  }
  return std::wstring();
}

bool HasWow64RegistryView() {
  if (wow64Override >= 0) return wow64Override != 0;
  // The process's answer does not change; asking costs a server call.
  static const bool wow64 = [] {
    BOOL answer = FALSE;
    return IsWow64Process(GetCurrentProcess(), &answer) && answer;
  }();
  return wow64;
}

void SetWow64ViewForTesting(int answer) { wow64Override = answer; }

std::wstring GetUserStartupFolder() { return ReadStartupFolder(HKEY_CURRENT_USER, L"Startup"); }

std::wstring GetCommonStartupFolder() { return ReadStartupFolder(HKEY_LOCAL_MACHINE, L"Common Startup"); }

bool TakesName(const PlaceRules& rules, const std::wstring& name) {
  if (rules.names.empty()) return true;
  for (const std::wstring& taken : rules.names)
    if (SameName(taken, name)) return true;
  return false;
}

std::vector<Location> PolicyKeys() {
  return {Location::Key(kMachine, kPolicies, LocationKind::None), Location::Key(kUser, kPolicies, LocationKind::None)};
}

std::wstring SkippingPolicy(const wchar_t* policyValue) {
  if (!policyValue) return std::wstring();
  for (const Location& policies : PolicyKeys())
    if (DwordAt(policies, policyValue) != 0) return std::wstring(policyValue) + L" is set in " + policies.Text();
  return std::wstring();
}

std::wstring NotLoadedText(const Location& location, const std::wstring& value) {
  return DwordAt(location, value) != 0 ? std::wstring() : L"Not loaded: " + value + L" is 0";
}

std::wstring WinlogonSystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  // Under WOW64 this is still the native system32: the one Winlogon names.
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring(L"C:\\Windows\\system32");
}

void ForEachCatalogueNode(const std::function<void(const CatalogueNode&)>& visit) {
  for (const Root& root : kRoots) {
    CatalogueNode rootNode;
    rootNode.caption = root.caption;
    rootNode.location = Location::Key(root.root, kCurrentVersion, LocationKind::None);
    rootNode.isRoot = true;
    if (!KeyIsPresent(rootNode.location)) continue;
    visit(rootNode);
    for (const Place& place : kPlaces) {
      if (place.root != root.root || (place.wow64Only && !HasWow64RegistryView())) continue;
      CatalogueNode node;
      node.caption = place.caption;
      if (place.kind == LocationKind::Tasks) {
        if (!FolderIsPresent(AppendPathDelimiter(TaskFolder()))) continue;
        node.location = Location::Tasks(place.rules);
      } else if (place.path == kStartupFolderPlace) {
        const std::wstring folder = root.startupFolder();
        if (!FolderIsPresent(AppendPathDelimiter(folder))) continue;
        node.location = Location::Folder(folder);
      } else {
        node.location = Location::Key(place.root, place.path, place.kind, place.rules);
        if (!KeyIsPresent(node.location)) continue;
      }
      if (place.switchKey)
        node.switches = Location::Key(place.root, std::wstring(kStartupApproved) + place.switchKey);
      node.skippedBy = place.skippedBy;
      visit(node);
    }
  }
}

std::vector<CatalogueNode> ReadLocationCatalogue() {
  std::vector<CatalogueNode> nodes;
  ForEachCatalogueNode([&](const CatalogueNode& node) { nodes.push_back(node); });
  return nodes;
}
