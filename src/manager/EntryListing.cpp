#include "manager/EntryListing.h"

#include <functional>

#include "common/FileTools.h"
#include "common/Names.h"
#include "common/Registry.h"
#include "manager/Location.h"
#include "manager/LocationCatalogue.h"
#include "manager/RecordStore.h"
#include "manager/StartupSwitches.h"
#include "manager/TaskListing.h"

namespace {

const char* const kEntryMask = "*.exe;*.com;*.bat;*.lnk;*.pif";

// The switches of the rows `first` on, read with one look at the switches'
// key. What touches the disk per row is done later (RowWork.h).
void ReadSwitches(const TAutoRunNode& node, EntryRows& rows, size_t first) {
  if (first >= rows.size() || node.SwitchLocation.Empty()) return;
  const StartupSwitches switches(node.SwitchLocation);
  for (size_t at = first; at < rows.size(); ++at) rows[at]->Switch = switches.Of(rows[at]->Name);
}

std::uint64_t StampOf(const FILETIME& written, DWORD sizeHigh, DWORD sizeLow) {
  const std::uint64_t time = (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  const std::uint64_t size = (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
  return time * 1000003u ^ size;
}

std::uint64_t Mixed(std::uint64_t stamp, std::uint64_t value) {
  return (stamp ^ value) * 0x100000001b3ull + 0x9e3779b97f4a7c15ull;
}

std::uint64_t TimeOf(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::uint64_t StampOfOpenKey(const RegistryKey& key) {
  DWORD values = 0;
  FILETIME written{};
  if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, &written) != ERROR_SUCCESS)
    return 0;
  return Mixed(Mixed(1, values), TimeOf(written));
}

std::uint64_t StampOfKey(const Location& location) {
  RegistryKey key;
  if (OpenLocation(key, location, KeyAccess::Notify) != ERROR_SUCCESS) return 0;
  return StampOfOpenKey(key);
}

// A key and each subkey's name and last write: a value written in a
// subkey changes only that subkey's time.
std::uint64_t StampOfSubkeys(const RegistryKey& key) {
  std::uint64_t stamp = StampOfOpenKey(key);
  wchar_t name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    FILETIME written{};
    const LONG result = RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, &written);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;
    stamp = Mixed(Mixed(stamp, std::hash<std::wstring>()(std::wstring(name, length))), TimeOf(written));
  }
  return stamp;
}

// Every name the folder holds, listed or not, with its size and time;
// 0 when the folder cannot be searched.
constexpr std::uint64_t kEmptyFolderStamp = 1;
std::uint64_t WithFound(std::uint64_t stamp, const WIN32_FIND_DATAW& found) {
  stamp = Mixed(stamp, std::hash<std::wstring>()(found.cFileName));
  return Mixed(stamp, StampOf(found.ftLastWriteTime, found.nFileSizeHigh, found.nFileSizeLow));
}

std::uint64_t StampOfFolder(const std::wstring& folder) {
  FileSearch search(AppendPathDelimiter(folder) + L"*.*");
  if (!search.Started()) return 0;
  std::uint64_t stamp = kEmptyFolderStamp;
  do stamp = WithFound(stamp, search.Current());
  while (search.Next());
  return stamp;
}

std::unique_ptr<TAutoRunItem> FileRow(const TAutoRunNode& node, const std::wstring& name, std::uint64_t stamp) {
  auto item = std::make_unique<TFileRow>();
  item->Kind = EntryKind::File;
  item->Name = name;
  item->Node = &node;
  item->Command = AppendPathDelimiter(node.Location.path) + name;
  item->Stamp = stamp;
  return item;
}

// Each listing returns its place's stamp as the same walk saw it: a
// folder of a thousand shortcuts is then searched once, not twice.
std::uint64_t ListFolder(const TAutoRunNode& node, EntryRows& into) {
  FileSearch search(AppendPathDelimiter(node.Location.path) + L"*.*");
  if (!search.Started()) return 0;
  const size_t first = into.size();
  std::uint64_t stamp = kEmptyFolderStamp;
  do {
    const WIN32_FIND_DATAW& found = search.Current();
    stamp = WithFound(stamp, found);
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L".." || !MatchesAnyMask(name, kEntryMask)) continue;
    into.push_back(FileRow(node, name, StampOf(found.ftLastWriteTime, found.nFileSizeHigh, found.nFileSizeLow)));
  } while (search.Next());
  ReadSwitches(node, into, first);
  return stamp;
}

std::unique_ptr<TAutoRunItem> ValueRow(const TAutoRunNode& node, const WideRegValueView& value) {
  auto item = std::make_unique<TAutoRunItem>();
  item->Kind = EntryKind::RegistryValue;
  item->Name = value.name;
  item->Node = &node;
  item->Command = WideStringFromRegData(value.data, value.size);
  return item;
}

// Whether a value of a key is an entry of the place: a string (Windows
// starts only strings) of a name the place lists; a place of chosen names
// without defaults of Windows' lists an empty one as nothing.
bool IsEntryValue(const TAutoRunNode& node, const WideRegValueView& value) {
  if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return false;
  const PlaceRules& rules = *node.Location.rules;
  if (node.Location.kind != LocationKind::ChosenValues) return true;
  if (!TakesName(rules, value.name)) return false;
  return rules.windowsDefaults || !WideStringFromRegData(value.data, value.size).empty();
}

// Read-only, so that keys the user may not write are listed too.
std::uint64_t ListRegistryKey(const TAutoRunNode& node, EntryRows& into) {
  RegistryKey key;
  if (OpenLocation(key, node.Location, KeyAccess::Read) != ERROR_SUCCESS) return 0;
  const std::uint64_t stamp = StampOfOpenKey(key);
  const size_t first = into.size();
  key.ForEachValue([&](const WideRegValueView& value) {
    if (IsEntryValue(node, value)) into.push_back(ValueRow(node, value));
  });
  ReadSwitches(node, into, first);
  return stamp;
}

// One subkey's entry: its value the place names, when that is a string
// that is not empty and the subkey is not marked as not installed.
std::unique_ptr<TAutoRunItem> SubkeyRow(const TAutoRunNode& node, const std::wstring& name) {
  const PlaceRules& rules = *node.Location.rules;
  RegistryKey key;
  if (OpenLocation(key, node.Location.Subkey(name), KeyAccess::Read) != ERROR_SUCCESS) return nullptr;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (key.QueryValue(rules.subkeyValue, type, data) != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
    return nullptr;
  const std::wstring command = WideStringFromRegData(data.data(), static_cast<DWORD>(data.size()));
  if (command.empty()) return nullptr;
  if (!rules.unlessZero.empty() && key.QueryValue(rules.unlessZero, type, data) == ERROR_SUCCESS) {
    const bool zero = type == REG_DWORD ? data.size() >= 4 && !data[0] && !data[1] && !data[2] && !data[3]
                      : type == REG_SZ  ? WideStringFromRegData(data.data(), static_cast<DWORD>(data.size())) == L"0"
                                        : false;
    if (zero) return nullptr;
  }
  auto row = std::make_unique<TSubkeyRow>();
  row->Kind = EntryKind::RegistryValue;
  row->Name = name;
  row->Node = &node;
  row->Command = command;
  std::wstring title;
  if (key.ReadString(std::wstring(), title) == ERROR_SUCCESS) row->Title = title;
  return row;
}

std::uint64_t ListSubkeys(const TAutoRunNode& node, EntryRows& into) {
  RegistryKey key;
  if (OpenLocation(key, node.Location, KeyAccess::Read) != ERROR_SUCCESS) return 0;
  const std::uint64_t stamp = StampOfSubkeys(key);
  for (const std::wstring& name : key.SubkeyNames())
    if (auto row = SubkeyRow(node, name)) into.push_back(std::move(row));
  return stamp;
}

std::unique_ptr<TAutoRunItem> SectionRow(const TAutoRunNode& node, const std::wstring& subkey,
                                         const WideRegValueView& value) {
  auto row = std::make_unique<TSectionRow>();
  row->Kind = EntryKind::RegistryValue;
  row->Subkey = subkey;
  row->Value = value.name;
  row->Name = subkey + L'\\' + value.name;
  row->Node = &node;
  row->Command = WideStringFromRegData(value.data, value.size);
  return row;
}

// RunOnceEx: the string values of one subkey ("<section>", "Depend",
// "<section>\Depend") as rows; its default value is no entry.
void ListSectionValues(const TAutoRunNode& node, const std::wstring& subkey, EntryRows& into) {
  RegistryKey key;
  if (OpenLocation(key, node.Location.Subkey(subkey), KeyAccess::Read) != ERROR_SUCCESS) return;
  key.ForEachValue([&](const WideRegValueView& value) {
    if (value.name.empty() || (value.type != REG_SZ && value.type != REG_EXPAND_SZ)) return;
    into.push_back(SectionRow(node, subkey, value));
  });
}

// A key's stamp with every subkey's, two levels down: a value written in
// a section's Depend subkey changes only that subkey's time.
std::uint64_t StampOfSections(const RegistryKey& key) {
  std::uint64_t stamp = StampOfSubkeys(key);
  for (const std::wstring& name : key.SubkeyNames()) {
    RegistryKey section;
    if (section.Open(key.Get(), name, KeyAccess::Read, RegistryView::Native) == ERROR_SUCCESS)
      stamp = Mixed(stamp, StampOfSubkeys(section));
  }
  return stamp;
}

// The key's own values (Title, Flags) are not entries.
std::uint64_t ListSections(const TAutoRunNode& node, EntryRows& into) {
  RegistryKey key;
  if (OpenLocation(key, node.Location, KeyAccess::Read) != ERROR_SUCCESS) return 0;
  const std::uint64_t stamp = StampOfSections(key);
  for (const std::wstring& name : key.SubkeyNames()) {
    ListSectionValues(node, name, into);
    if (SameName(name, L"Depend")) continue;
    ListSectionValues(node, name + L"\\Depend", into);
  }
  return stamp;
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
    if (!kept->isFile) row->Title = SubkeyEntryTitle(Location::Parse(row->Origin), row->Name);
    row->Presence = RowPresence::Unknown;  // nothing to look up
    into.push_back(std::move(row));
  }
}

// The place's own stamp, without its switches'.
std::uint64_t ListInto(const TAutoRunNode& node, EntryRows& into) {
  if (node.ListsRecords) {
    ListRecords(node, into);
    return 0;
  }
  switch (node.Location.kind) {
    case LocationKind::None:
      return 0;
    case LocationKind::Folder:
      return ListFolder(node, into);
    case LocationKind::SubkeyValue:
      return ListSubkeys(node, into);
    case LocationKind::Sections:
      return ListSections(node, into);
    case LocationKind::Values:
    case LocationKind::ChosenValues:
      return ListRegistryKey(node, into);
    case LocationKind::Tasks: {
      // The latest read: the tasks are read on the task reader's thread.
      const std::shared_ptr<const TaskSnapshot> tasks = LatestTasks();
      TaskRows(node, *tasks, into);
      return tasks->stamp;
    }
  }
  return 0;
}

bool HasStamp(const TAutoRunNode& node) {
  return !node.ListsRecords && node.Location.kind != LocationKind::None;
}

}  // namespace

Listing ListLocations(const std::vector<const TAutoRunNode*>& nodes) {
  Listing listing;
  try {
    for (const TAutoRunNode* node : nodes) {
      // The switches' key is stamped first: a switch flipped while the
      // place is read is then seen as a change.
      const std::uint64_t switches = HasStamp(*node) ? StampOfKey(node->SwitchLocation) : 0;
      const std::uint64_t own = ListInto(*node, listing.rows);
      listing.stamps.push_back(HasStamp(*node) ? Mixed(own, switches) : 0);
    }
  } catch (...) {
    listing.error = std::current_exception();
  }
  return listing;
}

Listing ListLocation(const TAutoRunNode& node) { return ListLocations({&node}); }

std::unique_ptr<TAutoRunItem> ReadEntry(const TAutoRunNode& node, const EntryRef& entry) {
  std::wstring rowName;
  if (!entry.In(node, &rowName)) return nullptr;
  if (node.Location.kind != LocationKind::Sections) return ReadEntry(node, rowName);
  const std::wstring subkey = rowName.substr(0, rowName.size() - entry.name.size() - 1);
  RegistryKey key;
  if (OpenLocation(key, entry.location, KeyAccess::Read) != ERROR_SUCCESS) return nullptr;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (entry.name.empty() || key.QueryValue(entry.name, type, data) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return nullptr;
  return SectionRow(node, subkey, WideRegValueView{entry.name, type, data.data(), static_cast<DWORD>(data.size())});
}

std::unique_ptr<TAutoRunItem> ReadEntry(const TAutoRunNode& node, const std::wstring& name) {
  std::unique_ptr<TAutoRunItem> row;
  if (node.Location.kind == LocationKind::SubkeyValue) return SubkeyRow(node, name);
  if (node.Location.IsTasks()) {
    const std::unique_ptr<TaskEntry> task = ReadTaskAgain(name);
    return task ? TaskRow(node, *task) : nullptr;
  }
  if (node.Location.IsFolder()) {
    WIN32_FILE_ATTRIBUTE_DATA file{};
    if (!MatchesAnyMask(name, kEntryMask) ||
        !GetFileAttributesExW(LongPathForm(AppendPathDelimiter(node.Location.path) + name).c_str(), GetFileExInfoStandard,
                              &file) ||
        (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return nullptr;
    row = FileRow(node, name, StampOf(file.ftLastWriteTime, file.nFileSizeHigh, file.nFileSizeLow));
  } else {
    RegistryKey key;
    if (OpenLocation(key, node.Location, KeyAccess::Read) != ERROR_SUCCESS) return nullptr;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (key.QueryValue(name, type, data) != ERROR_SUCCESS) return nullptr;
    const WideRegValueView value{name, type, data.data(), static_cast<DWORD>(data.size())};
    if (!IsEntryValue(node, value)) return nullptr;
    row = ValueRow(node, value);
  }
  // One entry's switch: one value read, not the switches' whole key.
  RegistryKey switches;
  if (OpenLocation(switches, node.SwitchLocation, KeyAccess::Read) == ERROR_SUCCESS) {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (switches.QueryValue(name, type, data) == ERROR_SUCCESS)
      row->Switch = DecodeSwitch(type == REG_BINARY, data.data(), data.size());
  }
  return row;
}

std::uint64_t StampOfLocation(const TAutoRunNode& node) {
  if (!HasStamp(node)) return 0;
  const auto subkeys = [&] {
    RegistryKey key;
    return OpenLocation(key, node.Location, KeyAccess::Read) == ERROR_SUCCESS ? StampOfSubkeys(key) : 0;
  };
  const auto sections = [&] {
    RegistryKey key;
    return OpenLocation(key, node.Location, KeyAccess::Read) == ERROR_SUCCESS ? StampOfSections(key) : 0;
  };
  const std::uint64_t own = node.Location.IsTasks()                            ? LatestTasks()->stamp
                            : node.Location.kind == LocationKind::Sections    ? sections()
                            : node.Location.IsFolder()                         ? StampOfFolder(node.Location.path)
                            : node.Location.kind == LocationKind::SubkeyValue ? subkeys()
                                                                              : StampOfKey(node.Location);
  return Mixed(own, StampOfKey(node.SwitchLocation));
}
