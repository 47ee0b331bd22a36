// The location tree and the listing of a location's entries.
#include <memory>
#include <vector>

#include "common/FileTools.h"
#include "common/Registry.h"
#include "common/ShellLink.h"
#include "manager/Location.h"
#include "manager/velframe.h"

namespace {

const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";
const char* const kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const char* const kEntryMask = "*.exe;*.com;*.bat;*.lnk;*.pif";
const char* const kShortcutMask = "*.lnk";

struct RegistryChild {
  const char* caption;
  const char* key;
};
const RegistryChild kRegistryChildren[] = {
    {"Run", "Run"},
    {"Run Once", "RunOnce"},
    {"Run Services", "RunServices"},
    {"Run Services Once", "RunServicesOnce"},
};
// The 32-bit programs' keys on 64-bit Windows, named directly in the
// native view.
const char* const kWow64CurrentVersion = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\";
const RegistryChild kWow64Children[] = {
    {"Run (32-bit)", "Run"},
    {"Run Once (32-bit)", "RunOnce"},
    {"Run Services (32-bit)", "RunServices"},
    {"Run Services Once (32-bit)", "RunServicesOnce"},
};

int wow64Override = -1;

struct RootEntry {
  const char* caption;
  HKEY key;
  const char* name;
  std::string (*startupFolder)();
};
const RootEntry kRoots[] = {
    {"CURRENT USER", HKEY_CURRENT_USER, "HKEY_CURRENT_USER", &GetUserStartupFolder},
    {"LOCAL MACHINE", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", &GetCommonStartupFolder},
};

// Shell Folders is only read, so a user who may not write the key (any
// HKEY_LOCAL_MACHINE key without elevation) still finds the folder.
std::string ReadStartupFolder(HKEY root, const char* valueName) {
  TRegistry registry;
  registry.SelectRootKey(root);
  std::string folder;
  if (registry.OpenExistingKeyReadOnly(kShellFolders)) {
    folder = registry.ReadStringValue(valueName);
    registry.CloseCurrentKey();
  }
  return folder;
}

HKEY RootKeyOf(RegistryRoot root) { return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

// Closes a file search on every way out.
class FileSearch {
 public:
  explicit FileSearch(const std::string& pattern) : handle_(FindFirstFileA(pattern.c_str(), &found_)) {}
  ~FileSearch() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;
  bool Started() const { return handle_ != INVALID_HANDLE_VALUE; }
  const WIN32_FIND_DATAA& Current() const { return found_; }
  bool Next() { return FindNextFileA(handle_, &found_) != FALSE; }

 private:
  WIN32_FIND_DATAA found_{};
  HANDLE handle_;
};

}  // namespace

bool HasWow64RegistryView() {
  if (wow64Override >= 0) return wow64Override != 0;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

void SetWow64ViewForTesting(int answer) { wow64Override = answer; }

std::string GetUserStartupFolder() { return ReadStartupFolder(HKEY_CURRENT_USER, "Startup"); }

std::string GetCommonStartupFolder() { return ReadStartupFolder(HKEY_LOCAL_MACHINE, "Common Startup"); }

void TVelmora::BuildLocationTree() {
  Loading = true;
  struct LoadingGuard {
    bool& loading;
    ~LoadingGuard() { loading = false; }
  } loadingGuard{Loading};
  TRegistry registry;
  bool firstRoot = true;
  for (const RootEntry& root : kRoots) {
    registry.SelectRootKey(root.key);
    const bool present = registry.KeyIsPresent(kCurrentVersion);
    if (present) {
      const std::string rootLocation = std::string(root.name) + "\\" + kCurrentVersion;
      HTREEITEM rootNode = tvAutoRun.Add(nullptr, root.caption, imgFolder, imgFolder,
                                         new TAutoRunItem{"", rootLocation, "", false});
      for (const RegistryChild& child : kRegistryChildren) {
        if (!registry.KeyIsPresent(std::string(kCurrentVersion) + child.key)) continue;
        tvAutoRun.Add(rootNode, child.caption, imgFolder, imgFolder,
                      new TAutoRunItem{"", rootLocation + child.key, "", true});
      }
      if (root.key == HKEY_LOCAL_MACHINE && HasWow64RegistryView()) {
        for (const RegistryChild& child : kWow64Children) {
          if (!registry.KeyIsPresent(std::string(kWow64CurrentVersion) + child.key)) continue;
          tvAutoRun.Add(rootNode, child.caption, imgFolder, imgFolder,
                        new TAutoRunItem{"", std::string(root.name) + "\\" + kWow64CurrentVersion + child.key, "", true});
        }
      }
      const std::string startup = root.startupFolder();
      if (FolderIsPresent(AppendPathDelimiter(startup)))
        tvAutoRun.Add(rootNode, "Auto Run", imgFolder, imgFolder, new TAutoRunItem{"", startup, "", true});
      if (firstRoot) tvAutoRun.Select(rootNode);
    }
    firstRoot = false;
  }
}

void TVelmora::ClearTree() {
  for (HTREEITEM node : tvAutoRun.AllNodes()) {
    delete NodeItem(node);
    tvAutoRun.SetData(node, nullptr);
  }
  tvAutoRun.DeleteAll();
}

void TVelmora::AppendRow(const std::string& caption, const std::string& path, TAutoRunItem* item) {
  std::unique_ptr<TAutoRunItem> owned(item);
  const int row = lvAutoRun.Add(caption, imgProgram, owned.get());
  if (row < 0) return;  // not inserted: the record is freed here
  owned.release();
  lvAutoRun.SetSubItem(row, 1, path);
}

void TVelmora::FillEntries(const std::string& location) {
  if (location.empty()) return;
  if (IsFolderLocation(location))
    FillFolderEntries(location);
  else
    FillRegistryEntries(location);
}

void TVelmora::FillFolderEntries(const std::string& location) {
  const std::string folder = AppendPathDelimiter(location);
  FileSearch search(folder + "*.*");
  if (!search.Started()) return;
  do {
    const std::string name = search.Current().cFileName;
    if (name == "." || name == ".." || !MatchesAnyMask(name, kEntryMask)) continue;
    const std::string path = folder + name;
    std::string command = path;
    if (MatchesAnyMask(name, kShortcutMask)) GetShortcutTarget(path, command);
    AppendRow(name, path, new TAutoRunItem{command, path, name, false});
  } while (search.Next());
}

// Read-only, so that keys the user may not write are listed too. Values
// of other types than string are left out: Windows starts only strings.
void TVelmora::FillRegistryEntries(const std::string& location) {
  const RegistryLocation split = SplitRegistryLocation(location);
  TRegistry registry;
  registry.SelectRootKey(RootKeyOf(split.root));
  if (!registry.OpenExistingKeyReadOnly(split.keyPath)) return;
  registry.ForEachValue([&](const RegValueView& value) {
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return;
    const std::string data = StringFromRegData(value.data, value.size);
    AppendRow(value.name, data, new TAutoRunItem{data, location, value.name, false});
  });
  registry.CloseCurrentKey();
}

// The rows go first and their records after: no notification raised while
// the rows are removed can meet a disposed record, and no row is changed
// one by one (each change would notify the frame).
void TVelmora::ClearEntries() {
  try {
    std::vector<std::unique_ptr<TAutoRunItem>> records;
    records.reserve(lvAutoRun.Count());
    for (int row = 0; row < lvAutoRun.Count(); ++row) records.emplace_back(RowItem(row));
    lvAutoRun.DeleteAll();
  } catch (...) {
    // Clearing never reports anything.
  }
}
