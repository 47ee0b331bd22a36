// The location tree and the listing of a location's entries.
#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <memory>
#include <optional>
#include <unordered_set>

#include "common/FileTools.h"
#include "common/Registry.h"
#include "common/ShellLink.h"
#include "manager/Location.h"
#include "manager/LocationCatalogue.h"
#include "manager/ProgramLookup.h"
#include "manager/StartupSwitches.h"
#include "manager/velframe.h"

namespace {

const char* const kEntryMask = "*.exe;*.com;*.bat;*.lnk;*.pif";
const char* const kShortcutMask = "*.lnk";

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
    auto record = std::make_unique<TAutoRunNode>();
    record->Kind = ItemKind::Location;
    record->Location = node.location;
    record->AllowsAdd = node.allowsAdd;
    record->ApprovalLocation = node.approvalLocation;
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

namespace {

int PictureOf(const TAutoRunItem& item) { return item.Missing() ? imgMissing : imgProgram; }

ui::ListView::Check CheckOf(const TAutoRunItem& item) {
  if (!item.HasSwitch()) return ui::ListView::Check::None;
  return item.SwitchedOff() ? ui::ListView::Check::Cleared : ui::ListView::Check::Checked;
}

}  // namespace

void TVelmora::InsertRow(int row, std::unique_ptr<TAutoRunItem> item) {
  const int inserted = lvAutoRun.Insert(row, item->Name, PictureOf(*item), item.get(), CheckOf(*item));
  if (inserted < 0) return;  // not inserted: the record goes with `item`
  rowRecords_.push_back(std::move(item));
}

void TVelmora::ShowRowState(int row, const TAutoRunItem& item) {
  lvAutoRun.SetImage(row, PictureOf(item));
  if (lvAutoRun.CheckOf(row) != CheckOf(item)) lvAutoRun.SetCheck(row, CheckOf(item));
}

void TVelmora::AppendRows(EntryList& entries) {
  for (auto& entry : entries) InsertRow(lvAutoRun.Count(), std::move(entry));
  entries.clear();
}

void TVelmora::CollectEntries(const TAutoRunNode& node, EntryList& into) const {
  if (node.Location.empty()) return;
  if (IsFolderLocation(node.Location))
    CollectFolderEntries(node, into);
  else
    CollectRegistryEntries(node, into);
}

void TVelmora::ListInto(const std::function<void(EntryList&)>& collect) {
  EntryList entries;
  try {
    collect(entries);
  } catch (...) {
    AppendRows(entries);  // the rows listed before the error stay
    throw;
  }
  AppendRows(entries);
}

void TVelmora::FillEntries(const TAutoRunNode& node) {
  ListInto([&](EntryList& entries) { CollectEntries(node, entries); });
}

namespace {

// How a listed file was read: a program, or a shortcut that could or
// could not be read.
enum class FileRead : unsigned char { Program, Shortcut, UnreadableShortcut };

// What Windows will do with the rows `first` on: their switches, read with
// one look at the switches' key, and whether their programs are there
// (`files` says how a folder's rows were read). Shortcuts were read before:
// no library may load while the file-system redirector is off.
void ReadStartState(const TAutoRunNode& node, std::vector<std::unique_ptr<TAutoRunItem>>& rows, size_t first,
                    const std::vector<FileRead>& files) {
  if (first >= rows.size()) return;
  if (!node.ApprovalLocation.empty()) {
    const StartupSwitches switches(node.ApprovalLocation);
    for (size_t at = first; at < rows.size(); ++at) rows[at]->Approval = switches.Of(rows[at]->Name);
  }
  const ProgramLookup lookup;
  const FileSystemRedirectionOff redirectionOff;
  for (size_t at = first; at < rows.size(); ++at) {
    TAutoRunItem& row = *rows[at];
    if (row.Kind == ItemKind::RegistryValue)
      row.Presence = lookup.OfCommand(row.Command);
    else if (files[at - first] != FileRead::Program)
      row.Presence = lookup.OfShortcut(files[at - first] == FileRead::Shortcut, row.Command);
    else
      row.Presence = ProgramPresence::Found;  // the file listed is the program
  }
}

}  // namespace

void TVelmora::CollectFolderEntries(const TAutoRunNode& node, EntryList& into) const {
  const std::wstring folder = AppendPathDelimiter(node.Location);
  FileSearch search(folder + L"*.*");
  if (!search.Started()) return;
  const size_t first = into.size();
  std::vector<FileRead> files;
  do {
    const std::wstring name = search.Current().cFileName;
    if (name == L"." || name == L".." || !MatchesAnyMask(name, kEntryMask)) continue;
    const std::wstring path = folder + name;
    auto item = std::make_unique<TAutoRunItem>();
    item->Kind = ItemKind::File;
    item->Name = name;
    item->Node = &node;
    item->Command = path;
    if (!MatchesAnyMask(name, kShortcutMask))
      files.push_back(FileRead::Program);
    else
      files.push_back(GetShortcutTarget(path, item->Command) ? FileRead::Shortcut : FileRead::UnreadableShortcut);
    into.push_back(std::move(item));
  } while (search.Next());
  ReadStartState(node, into, first, files);
}

// Read-only, so that keys the user may not write are listed too. Values
// of other types than string are left out: Windows starts only strings.
void TVelmora::CollectRegistryEntries(const TAutoRunNode& node, EntryList& into) const {
  RegistryKey key;
  if (OpenRegistryLocation(key, node.Location, KeyAccess::Read) != ERROR_SUCCESS) return;
  const size_t first = into.size();
  key.ForEachValue([&](const WideRegValueView& value) {
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return;
    auto item = std::make_unique<TAutoRunItem>();
    item->Kind = ItemKind::RegistryValue;
    item->Name = value.name;
    item->Node = &node;
    item->Command = WideStringFromRegData(value.data, value.size);
    into.push_back(std::move(item));
  });
  ReadStartState(node, into, first, std::vector<FileRead>());
}

// The rows go first and their records after: no notification raised while
// the rows are removed can meet a disposed record, and no row is changed
// one by one (each change would notify the frame).
void TVelmora::ClearEntries() {
  lvAutoRun.DeleteAll();
  rowRecords_.clear();
}

void TVelmora::DeleteRow(int row) {
  const TAutoRunItem* record = RowItem(row);
  lvAutoRun.Delete(row);
  const auto owned = std::find_if(rowRecords_.begin(), rowRecords_.end(),
                                  [record](const std::unique_ptr<TAutoRunItem>& item) { return item.get() == record; });
  if (owned != rowRecords_.end()) rowRecords_.erase(owned);
}

namespace {

// A row's identity for the merge: its node and its exact name, viewed in
// place (a refresh of 10,000 rows copies no name to find them).
struct RowKey {
  const TAutoRunItem* node;
  std::wstring_view name;
  bool operator==(const RowKey& other) const { return node == other.node && name == other.name; }
};
struct RowKeyHash {
  size_t operator()(const RowKey& key) const {
    return std::hash<std::wstring_view>()(key.name) ^ (std::hash<const void*>()(key.node) << 1);
  }
};

}  // namespace

// Up to this many rows inserted or removed, the list repaints each change
// itself: turning its redrawing off and on repaints all of it.
constexpr size_t kFewRowChanges = 8;

void TVelmora::MergeRows(EntryList& fresh) {
  const auto keyOf = [](const TAutoRunItem& item) { return RowKey{item.Node, item.Name}; };
  std::unordered_map<RowKey, size_t, RowKeyHash> freshIndex;
  freshIndex.reserve(fresh.size());
  for (size_t at = 0; at < fresh.size(); ++at) freshIndex.emplace(keyOf(*fresh[at]), at);

  std::vector<int> gone;
  for (int row = lvAutoRun.Count() - 1; row >= 0; --row) {
    const TAutoRunItem* item = RowItem(row);
    if (!item || !freshIndex.count(keyOf(*item))) gone.push_back(row);
  }
  // A few rows come and go one by one: the list repaints just them. More
  // are changed with the list's redrawing off, and it repaints once.
  const size_t kept = static_cast<size_t>(lvAutoRun.Count()) - gone.size();
  const size_t changes = gone.size() + (fresh.size() > kept ? fresh.size() - kept : 0);
  std::optional<ui::ListUpdateBracket> bracket;
  if (changes > kFewRowChanges) bracket.emplace(lvAutoRun);
  // Removing rows at the end of a list scrolled down scrolls it up at
  // once; the rows shown stay where they were.
  struct KeepTop {
    ui::ListView& list;
    int top;
    ~KeepTop() { list.ScrollToTop(top); }
  } keepTop{lvAutoRun, lvAutoRun.TopIndex()};
  // Gone rows first, from the bottom, so that the indices above stay.
  std::unordered_set<const TAutoRunItem*> dropped;
  for (const int row : gone) {
    dropped.insert(RowItem(row));
    lvAutoRun.Delete(row);
  }
  // What stays must be in listing order as before. If not (not seen from
  // the registry or a folder, but not to be trusted either), list afresh:
  // checked before any row changes, so nothing is lost by falling back.
  for (int row = 0, previous = -1; row < lvAutoRun.Count(); ++row) {
    const int at = static_cast<int>(freshIndex.at(keyOf(*RowItem(row))));
    if (at > previous) {
      previous = at;
      continue;
    }
    if (!bracket) bracket.emplace(lvAutoRun);
    ClearEntries();
    AppendRows(fresh);
    return;
  }
  // Walk both, updating the changed rows and inserting the new.
  int row = 0;
  for (size_t at = 0; at < fresh.size(); ++at) {
    const TAutoRunItem* current = row < lvAutoRun.Count() ? RowItem(row) : nullptr;
    if (current && current->Node == fresh[at]->Node && current->Name == fresh[at]->Name) {
      if (current->Command != fresh[at]->Command || current->Approval != fresh[at]->Approval ||
          current->Presence != fresh[at]->Presence) {
        lvAutoRun.SetData(row, fresh[at].get());
        lvAutoRun.RedrawRow(row);
        ShowRowState(row, *fresh[at]);
        dropped.insert(current);
        rowRecords_.push_back(std::move(fresh[at]));
      }
      ++row;
      continue;
    }
    InsertRow(row++, std::move(fresh[at]));
  }
  rowRecords_.erase(std::remove_if(rowRecords_.begin(), rowRecords_.end(),
                                   [&](const std::unique_ptr<TAutoRunItem>& item) {
                                     return dropped.count(item.get()) > 0;
                                   }),
                    rowRecords_.end());
  fresh.clear();
}
