#include "manager/EntryListing.h"

#include "common/FileTools.h"
#include "common/Registry.h"
#include "common/ShellLink.h"
#include "manager/Location.h"
#include "manager/LocationCatalogue.h"
#include "manager/ProgramLookup.h"
#include "manager/RecordStore.h"
#include "manager/StartupSwitches.h"

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

// How a listed file was read: a program, or a shortcut that could or
// could not be read.
enum class FileRead : unsigned char { Program, Shortcut, UnreadableShortcut };

// Raises the system's text when the shell's link object cannot be made.
FileRead ReadShortcut(const std::wstring& path, std::wstring& target) {
  const HRESULT read = GetShortcutTarget(path, target);
  if (FAILED(read)) throw EOleError(SystemErrorText(read), read);
  return read == S_OK ? FileRead::Shortcut : FileRead::UnreadableShortcut;
}

// What Windows will do with the rows `first` on: their switches, read with
// one look at the switches' key, and whether their programs are there
// (`files` says how a folder's rows were read). Shortcuts were read before:
// no library may load while the file-system redirector is off.
void ReadStartState(const TAutoRunNode& node, EntryRows& rows, size_t first, const std::vector<FileRead>& files) {
  if (first >= rows.size()) return;
  if (!node.SwitchLocation.empty()) {
    const StartupSwitches switches(node.SwitchLocation);
    for (size_t at = first; at < rows.size(); ++at) rows[at]->Switch = switches.Of(rows[at]->Name);
  }
  const ProgramLookup lookup;
  const FileSystemRedirectionOff redirectionOff;
  for (size_t at = first; at < rows.size(); ++at) {
    TAutoRunItem& row = *rows[at];
    if (row.Kind == EntryKind::RegistryValue)
      row.Presence = lookup.OfCommand(row.Command);
    else if (files[at - first] != FileRead::Program)
      row.Presence = lookup.OfShortcut(files[at - first] == FileRead::Shortcut, row.Command);
    else
      row.Presence = ProgramPresence::Found;  // the file listed is the program
  }
}

void ListFolder(const TAutoRunNode& node, EntryRows& into) {
  const std::wstring folder = AppendPathDelimiter(node.Location);
  FileSearch search(folder + L"*.*");
  if (!search.Started()) return;
  const size_t first = into.size();
  std::vector<FileRead> files;
  do {
    const std::wstring name = search.Current().cFileName;
    if (name == L"." || name == L".." || !MatchesAnyMask(name, kEntryMask)) continue;
    auto item = std::make_unique<TAutoRunItem>();
    item->Kind = EntryKind::File;
    item->Name = name;
    item->Node = &node;
    const std::wstring path = folder + name;
    item->Command = path;
    if (!MatchesAnyMask(name, kShortcutMask))
      files.push_back(FileRead::Program);
    else
      files.push_back(ReadShortcut(path, item->Command));
    into.push_back(std::move(item));
  } while (search.Next());
  ReadStartState(node, into, first, files);
}

// Read-only, so that keys the user may not write are listed too. Values
// of other types than string are left out: Windows starts only strings.
void ListRegistryKey(const TAutoRunNode& node, EntryRows& into) {
  RegistryKey key;
  if (OpenRegistryLocation(key, node.Location, KeyAccess::Read) != ERROR_SUCCESS) return;
  const size_t first = into.size();
  key.ForEachValue([&](const WideRegValueView& value) {
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return;
    auto item = std::make_unique<TAutoRunItem>();
    item->Kind = EntryKind::RegistryValue;
    item->Name = value.name;
    item->Node = &node;
    item->Command = WideStringFromRegData(value.data, value.size);
    into.push_back(std::move(item));
  });
  ReadStartState(node, into, first, std::vector<FileRead>());
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
