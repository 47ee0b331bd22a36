// The location tree and the listing of a location's entries.
#include <memory>

#include "common/FileTools.h"
#include "common/Registry.h"
#include "common/ShellLink.h"
#include "manager/Location.h"
#include "manager/LocationCatalogue.h"
#include "manager/velframe.h"

namespace {

const char* const kEntryMask = "*.exe;*.com;*.bat;*.lnk;*.pif";
const char* const kShortcutMask = "*.lnk";

HKEY RootKeyOf(RegistryRoot root) { return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

// Closes a file search on every way out. Wide, in the long form past
// MAX_PATH: a Startup folder's path and its files' names are UTF-16.
class FileSearch {
 public:
  explicit FileSearch(const std::wstring& pattern)
      : handle_(FindFirstFileW(LongPathForm(pattern).c_str(), &found_)) {}
  ~FileSearch() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;
  bool Started() const { return handle_ != INVALID_HANDLE_VALUE; }
  const WIN32_FIND_DATAW& Current() const { return found_; }
  bool Next() { return FindNextFileW(handle_, &found_) != FALSE; }

 private:
  WIN32_FIND_DATAW found_{};
  HANDLE handle_;
};

}  // namespace

void TVelmora::BuildLocationTree() {
  Loading = true;
  struct LoadingGuard {
    bool& loading;
    ~LoadingGuard() { loading = false; }
  } loadingGuard{Loading};
  HTREEITEM root = nullptr;
  ForEachCatalogueNode([&](const CatalogueNode& node) {
    auto record = std::make_unique<TAutoRunItem>();
    record->Kind = ItemKind::Location;
    record->Location = node.location;
    record->AllowsAdd = node.allowsAdd;
    const HTREEITEM item = tvAutoRun.Add(node.isRoot ? nullptr : root, node.caption, imgFolder, imgFolder, record.get());
    if (!item) return;
    nodeRecords_.push_back(std::move(record));
    if (!node.isRoot) return;
    root = item;
    // The user's root is selected; without it, no node is.
    if (SplitRegistryLocation(node.location).root == RegistryRoot::CurrentUser) tvAutoRun.Select(item);
  });
}

void TVelmora::ClearTree() {
  tvAutoRun.DeleteAll();
  nodeRecords_.clear();
}

void TVelmora::AppendRow(std::unique_ptr<TAutoRunItem> item, const std::wstring& path) {
  const int row = lvAutoRun.Add(item->Name, imgProgram, item.get());
  if (row < 0) return;  // not inserted: the record goes with `item`
  rowRecords_.push_back(std::move(item));
  lvAutoRun.SetSubItem(row, 1, path);
}

void TVelmora::FillEntries(const TAutoRunItem& node) {
  if (node.Location.empty()) return;
  if (IsFolderLocation(node.Location))
    FillFolderEntries(node);
  else
    FillRegistryEntries(node);
}

void TVelmora::FillFolderEntries(const TAutoRunItem& node) {
  const std::wstring folder = AppendPathDelimiter(node.Location);
  FileSearch search(folder + L"*.*");
  if (!search.Started()) return;
  do {
    const std::wstring name = search.Current().cFileName;
    if (name == L"." || name == L".." || !MatchesAnyMask(name, kEntryMask)) continue;
    const std::wstring path = folder + name;
    auto item = std::make_unique<TAutoRunItem>();
    item->Kind = ItemKind::File;
    item->Name = name;
    item->Node = &node;
    item->Command = path;
    if (MatchesAnyMask(name, kShortcutMask)) GetShortcutTarget(path, item->Command);
    AppendRow(std::move(item), path);
  } while (search.Next());
}

// Read-only, so that keys the user may not write are listed too. Values
// of other types than string are left out: Windows starts only strings.
void TVelmora::FillRegistryEntries(const TAutoRunItem& node) {
  const WideRegistryLocation split = SplitRegistryLocation(node.Location);
  RegistryKey key;
  const std::wstring subKey = split.keyPath.empty() ? std::wstring() : split.keyPath.substr(1);
  if (key.Open(RootKeyOf(split.root), subKey, KeyAccess::Read, RegistryView::Native) != ERROR_SUCCESS) return;
  key.ForEachValue([&](const WideRegValueView& value) {
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return;
    auto item = std::make_unique<TAutoRunItem>();
    item->Kind = ItemKind::RegistryValue;
    item->Name = value.name;
    item->Node = &node;
    item->Command = WideStringFromRegData(value.data, value.size);
    const std::wstring& data = item->Command;  // stays where it is when the record moves
    AppendRow(std::move(item), data);
  });
}

// The rows go first and their records after: no notification raised while
// the rows are removed can meet a disposed record, and no row is changed
// one by one (each change would notify the frame).
void TVelmora::ClearEntries() {
  lvAutoRun.DeleteAll();
  rowRecords_.clear();
}
