#include "manager/LocationCatalogue.h"

#include "common/FileTools.h"
#include "common/Registry.h"

namespace {

const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";
const char* const kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion\\";
// The 32-bit programs' keys on 64-bit Windows, named directly in the
// native view.
const char* const kWow64CurrentVersion = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\";

struct RegistryChild {
  const char* caption;
  const char* twinCaption;
  const char* key;
};
const RegistryChild kRegistryChildren[] = {
    {"Run", "Run (32-bit)", "Run"},
    {"Run Once", "Run Once (32-bit)", "RunOnce"},
    {"Run Services", "Run Services (32-bit)", "RunServices"},
    {"Run Services Once", "Run Services Once (32-bit)", "RunServicesOnce"},
};

struct Root {
  const char* caption;
  HKEY key;
  const char* name;
  std::string (*startupFolder)();
};
const Root kRoots[] = {
    {"CURRENT USER", HKEY_CURRENT_USER, "HKEY_CURRENT_USER", &GetUserStartupFolder},
    {"LOCAL MACHINE", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", &GetCommonStartupFolder},
};

int wow64Override = -1;

// Shell Folders is only read, so a user who may not write the key (any
// HKEY_LOCAL_MACHINE key without elevation) still finds the folder.
std::string ReadStartupFolder(HKEY root, const char* valueName) {
  RegistryKey key;
  if (key.Open(root, kShellFolders, KeyAccess::Read, RegistryView::Native) != ERROR_SUCCESS) return std::string();
  return key.ReadString(valueName);
}

CatalogueNode Child(const std::string& caption, const std::string& location) {
  return CatalogueNode{caption, location, false, true};
}

}  // namespace

bool HasWow64RegistryView() {
  if (wow64Override >= 0) return wow64Override != 0;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

void SetWow64ViewForTesting(int answer) { wow64Override = answer; }

std::string GetUserStartupFolder() { return ReadStartupFolder(HKEY_CURRENT_USER, "Startup"); }

std::string GetCommonStartupFolder() { return ReadStartupFolder(HKEY_LOCAL_MACHINE, "Common Startup"); }

void ForEachCatalogueNode(const std::function<void(const CatalogueNode&)>& visit) {
  for (const Root& root : kRoots) {
    if (!RegistryKey::IsPresent(root.key, kCurrentVersion)) continue;
    const std::string rootLocation = std::string(root.name) + "\\" + kCurrentVersion;
    visit(CatalogueNode{root.caption, rootLocation, true, false});
    for (const RegistryChild& child : kRegistryChildren)
      if (RegistryKey::IsPresent(root.key, std::string(kCurrentVersion) + child.key))
        visit(Child(child.caption, rootLocation + child.key));
    if (root.key == HKEY_LOCAL_MACHINE && HasWow64RegistryView()) {
      for (const RegistryChild& child : kRegistryChildren)
        if (RegistryKey::IsPresent(root.key, std::string(kWow64CurrentVersion) + child.key))
          visit(Child(child.twinCaption, std::string(root.name) + "\\" + kWow64CurrentVersion + child.key));
    }
    const std::string startup = root.startupFolder();
    if (FolderIsPresent(AppendPathDelimiter(startup))) visit(Child("Auto Run", startup));
  }
}

std::vector<CatalogueNode> ReadLocationCatalogue() {
  std::vector<CatalogueNode> nodes;
  ForEachCatalogueNode([&](const CatalogueNode& node) { nodes.push_back(node); });
  return nodes;
}
