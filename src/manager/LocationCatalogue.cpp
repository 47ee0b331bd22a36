#include "manager/LocationCatalogue.h"

#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Registry.h"
#include "common/Unicode.h"
#include "manager/Location.h"

namespace {

const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";
const char* const kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion\\";
// The 32-bit programs' keys on 64-bit Windows, named directly in the
// native view.
const char* const kWow64CurrentVersion = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\";
// Windows' startup switches, always in the native view: "Run32" holds the
// 32-bit view's Run entries on 64-bit Windows.
const char* const kStartupApproved = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";

struct RegistryChild {
  const wchar_t* caption;
  const wchar_t* twinCaption;
  const char* key;
};
const RegistryChild kRegistryChildren[] = {
    {L"Run", L"Run (32-bit)", "Run"},
    {L"Run Once", L"Run Once (32-bit)", "RunOnce"},
    {L"Run Services", L"Run Services (32-bit)", "RunServices"},
    {L"Run Services Once", L"Run Services Once (32-bit)", "RunServicesOnce"},
};

struct Root {
  const wchar_t* caption;
  HKEY key;
  const char* name;
  std::wstring (*startupFolder)();
};
const Root kRoots[] = {
    {L"CURRENT USER", HKEY_CURRENT_USER, "HKEY_CURRENT_USER", &GetUserStartupFolder},
    {L"LOCAL MACHINE", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", &GetCommonStartupFolder},
};

int wow64Override = -1;

// Shell Folders is only read, so a user who may not write the key (any
// HKEY_LOCAL_MACHINE key without elevation) still finds the folder.
std::wstring ReadStartupFolder(HKEY root, const wchar_t* valueName) {
  RegistryKey key;
  if (key.Open(root, std::string(kShellFolders), KeyAccess::Read, RegistryView::Native) != ERROR_SUCCESS)
    return std::wstring();
  std::wstring folder;
  const LONG result = key.ReadString(std::wstring(valueName), folder);
  if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
    throw ERegistryException(FormatMessageText(ReadFailurePattern(result), valueName), result);
  return folder;
}

CatalogueNode Child(const std::wstring& caption, const std::wstring& location, const char* rootName = nullptr,
                    const char* switchKey = nullptr) {
  CatalogueNode node{caption, location, false, true, std::wstring()};
  if (switchKey) node.switchLocation = WideFromAnsi(std::string(rootName) + "\\" + kStartupApproved + switchKey);
  return node;
}

// Only Run has a switch; RunOnce and the services' keys have none.
const char* SwitchKeyOf(const RegistryChild& child, bool wow64Twin) {
  if (std::string(child.key) != "Run") return nullptr;
  return wow64Twin ? "Run32" : "Run";
}

}  // namespace

LONG OpenRegistryLocation(RegistryKey& key, const std::wstring& location, KeyAccess access) {
  const WideRegistryLocation split = SplitRegistryLocation(location);
  // The key path begins with the backslash that ends the root's name.
  const std::wstring subKey = split.keyPath.empty() ? std::wstring() : split.keyPath.substr(1);
  return key.Open(split.root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, subKey, access,
                  RegistryView::Native);
}

RegistryKey OpenRegistryLocationOrThrow(const std::wstring& location, KeyAccess access) {
  RegistryKey key;
  const LONG result = OpenRegistryLocation(key, location, access);
  if (result != ERROR_SUCCESS) throw ERegistryException(FormatMessageText("Failed to open key '%s'", location), result);
  return key;
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

void ForEachCatalogueNode(const std::function<void(const CatalogueNode&)>& visit) {
  for (const Root& root : kRoots) {
    if (!RegistryKey::IsPresent(root.key, kCurrentVersion)) continue;
    const std::string rootLocation = std::string(root.name) + "\\" + kCurrentVersion;
    visit(CatalogueNode{root.caption, WideFromAnsi(rootLocation), true, false, std::wstring()});
    for (const RegistryChild& child : kRegistryChildren)
      if (RegistryKey::IsPresent(root.key, std::string(kCurrentVersion) + child.key))
        visit(Child(child.caption, WideFromAnsi(rootLocation + child.key), root.name, SwitchKeyOf(child, false)));
    if (root.key == HKEY_LOCAL_MACHINE && HasWow64RegistryView()) {
      for (const RegistryChild& child : kRegistryChildren)
        if (RegistryKey::IsPresent(root.key, std::string(kWow64CurrentVersion) + child.key))
          visit(Child(child.twinCaption,
                      WideFromAnsi(std::string(root.name) + "\\" + kWow64CurrentVersion + child.key), root.name,
                      SwitchKeyOf(child, true)));
    }
    const std::wstring startup = root.startupFolder();
    if (FolderIsPresent(AppendPathDelimiter(startup))) visit(Child(L"Auto Run", startup, root.name, "StartupFolder"));
  }
}

std::vector<CatalogueNode> ReadLocationCatalogue() {
  std::vector<CatalogueNode> nodes;
  ForEachCatalogueNode([&](const CatalogueNode& node) { nodes.push_back(node); });
  return nodes;
}
