#include "manager/EntryListing.h"

#include <functional>

#include "common/FileTools.h"
#include "common/Registry.h"
#include "manager/Location.h"
#include "manager/LocationCatalogue.h"
#include "manager/RecordStore.h"
#include "manager/StartupSwitches.h"

namespace {

const char* const kEntryMask = "*.exe;*.com;*.bat;*.lnk;*.pif";

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

// The switches of the rows `first` on, read with one look at the switches'
// key. What touches the disk per row is done later (RowWork.h).
void ReadSwitches(const TAutoRunNode& node, EntryRows& rows, size_t first) {
  if (first >= rows.size() || node.SwitchLocation.empty()) return;
  const StartupSwitches switches(node.SwitchLocation);
  for (size_t at = first; at < rows.size(); ++at) rows[at]->Switch = switches.Of(rows[at]->Name);
}

std::uint64_t StampOf(const FILETIME& written, DWORD sizeHigh, DWORD sizeLow) {
  const std::uint64_t time = (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  const std::uint64_t size = (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
  return time * 1000003u ^ size;
}

std::unique_ptr<TAutoRunItem> FileRow(const TAutoRunNode& node, const std::wstring& name, std::uint64_t stamp) {
  auto item = std::make_unique<TFileRow>();
  item->Kind = EntryKind::File;
  item->Name = name;
  item->Node = &node;
  item->Command = AppendPathDelimiter(node.Location) + name;
  item->Stamp = stamp;
  return item;
}

void ListFolder(const TAutoRunNode& node, EntryRows& into) {
  FileSearch search(AppendPathDelimiter(node.Location) + L"*.*");
  if (!search.Started()) return;
  const size_t first = into.size();
  do {
    const WIN32_FIND_DATAW& found = search.Current();
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L".." || !MatchesAnyMask(name, kEntryMask)) continue;
    into.push_back(FileRow(node, name, StampOf(found.ftLastWriteTime, found.nFileSizeHigh, found.nFileSizeLow)));
  } while (search.Next());
  ReadSwitches(node, into, first);
}

std::unique_ptr<TAutoRunItem> ValueRow(const TAutoRunNode& node, const WideRegValueView& value) {
  auto item = std::make_unique<TAutoRunItem>();
  item->Kind = EntryKind::RegistryValue;
  item->Name = value.name;
  item->Node = &node;
  item->Command = WideStringFromRegData(value.data, value.size);
  return item;
}

// Read-only, so that keys the user may not write are listed too. Values
// of other types than string are left out: Windows starts only strings.
void ListRegistryKey(const TAutoRunNode& node, EntryRows& into) {
  RegistryKey key;
  if (OpenRegistryLocation(key, node.Location, KeyAccess::Read) != ERROR_SUCCESS) return;
  const size_t first = into.size();
  key.ForEachValue([&](const WideRegValueView& value) {
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) into.push_back(ValueRow(node, value));
  });
  ReadSwitches(node, into, first);
}

// The records of Delete and Change, newest first: the entry as it was.
// The records of a switch or an add serve undo only.
void ListRecords(const TAutoRunNode& node, EntryRows& into) {
  std::vector<RecordSummary> records = RecordSummaries();
  for (auto kept = records.rbegin(); kept != records.rend(); ++kept) {
    if (kept->kind != RecordKind::Removed && kept->kind != RecordKind::Replaced) continue;
    auto row = std::make_unique<TRecordRow>();
    row->Kind = EntryKind::Record;
    row->Name = std::move(kept->name);
    row->Node = &node;
    row->Record = std::move(kept->record);
    row->Origin = std::move(kept->origin);
    row->Kept = kept->kind;
    row->Command = std::move(kept->shown);
    row->Presence = RowPresence::Unknown;  // nothing to look up
    into.push_back(std::move(row));
  }
}

void ListInto(const TAutoRunNode& node, EntryRows& into) {
  if (node.ListsRecords) return ListRecords(node, into);
  if (node.Location.empty()) return;
  if (IsFolderLocation(node.Location))
    ListFolder(node, into);
  else
    ListRegistryKey(node, into);
}

}  // namespace

Listing ListLocations(const std::vector<const TAutoRunNode*>& nodes) {
  Listing listing;
  try {
    for (const TAutoRunNode* node : nodes) ListInto(*node, listing.rows);
  } catch (...) {
    listing.error = std::current_exception();
  }
  return listing;
}

Listing ListLocation(const TAutoRunNode& node) { return ListLocations({&node}); }

std::unique_ptr<TAutoRunItem> ReadEntry(const TAutoRunNode& node, const std::wstring& name) {
  std::unique_ptr<TAutoRunItem> row;
  if (IsFolderLocation(node.Location)) {
    WIN32_FILE_ATTRIBUTE_DATA file{};
    if (!MatchesAnyMask(name, kEntryMask) ||
        !GetFileAttributesExW(LongPathForm(AppendPathDelimiter(node.Location) + name).c_str(), GetFileExInfoStandard,
                              &file) ||
        (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return nullptr;
    row = FileRow(node, name, StampOf(file.ftLastWriteTime, file.nFileSizeHigh, file.nFileSizeLow));
  } else {
    RegistryKey key;
    if (OpenRegistryLocation(key, node.Location, KeyAccess::Read) != ERROR_SUCCESS) return nullptr;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (key.QueryValue(name, type, data) != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return nullptr;
    row = ValueRow(node, WideRegValueView{name, type, data.data(), static_cast<DWORD>(data.size())});
  }
  // One entry's switch: one value read, not the switches' whole key.
  RegistryKey switches;
  if (!node.SwitchLocation.empty() &&
      OpenRegistryLocation(switches, node.SwitchLocation, KeyAccess::Read) == ERROR_SUCCESS) {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (switches.QueryValue(name, type, data) == ERROR_SUCCESS)
      row->Switch = DecodeSwitch(type == REG_BINARY, data.data(), data.size());
  }
  return row;
}

namespace {

std::uint64_t Mixed(std::uint64_t stamp, std::uint64_t value) {
  return (stamp ^ value) * 0x100000001b3ull + 0x9e3779b97f4a7c15ull;
}

std::uint64_t StampOfKey(const std::wstring& location) {
  RegistryKey key;
  if (location.empty() || OpenRegistryLocation(key, location, KeyAccess::Notify) != ERROR_SUCCESS) return 0;
  DWORD values = 0;
  FILETIME written{};
  if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, &written) != ERROR_SUCCESS)
    return 0;
  return Mixed(Mixed(1, values), (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime);
}

std::uint64_t StampOfFolder(const std::wstring& folder) {
  FileSearch search(AppendPathDelimiter(folder) + L"*.*");
  if (!search.Started()) return 0;
  std::uint64_t stamp = 1;
  do {
    const WIN32_FIND_DATAW& found = search.Current();
    stamp = Mixed(stamp, std::hash<std::wstring>()(found.cFileName));
    stamp = Mixed(stamp, StampOf(found.ftLastWriteTime, found.nFileSizeHigh, found.nFileSizeLow));
  } while (search.Next());
  return stamp;
}

}  // namespace

std::uint64_t StampOfLocation(const TAutoRunNode& node) {
  if (node.ListsRecords || node.Location.empty()) return 0;
  const std::uint64_t own = IsFolderLocation(node.Location) ? StampOfFolder(node.Location) : StampOfKey(node.Location);
  return Mixed(own, StampOfKey(node.SwitchLocation));
}
