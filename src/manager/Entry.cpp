#include "manager/Entry.h"

#include "common/PathText.h"

std::uint64_t TAutoRunItem::FileStamp() const {
  return Kind == EntryKind::File ? static_cast<const TFileRow&>(*this).Stamp : 0;
}

std::wstring TAutoRunItem::FilePath() const { return AppendPathDelimiter(Node->Location.path) + Name; }

namespace {
// A subkey's row shows the component's title, else its id (the row's
// name); a record of it the title it had.
std::wstring TitleOf(const TAutoRunItem& row) {
  if (row.Kind == EntryKind::Record) return static_cast<const TRecordRow&>(row).Title;
  if (row.Kind == EntryKind::Gone) return std::wstring();
  if (row.Node && row.Node->Location.kind == LocationKind::SubkeyValue) {
    const std::wstring& title = static_cast<const TSubkeyRow&>(row).Title;
    return title.empty() ? row.Name : title;
  }
  return std::wstring();
}
}  // namespace

std::wstring ShownTitle(const TAutoRunItem& row) {
  const std::wstring title = TitleOf(row);
  return ShownName(title.empty() ? row.Name : title);
}

// A record row is told apart by its record: the same entry may have been
// removed twice.
EntryRef EntryRef::Of(const TAutoRunItem& row) {
  const TAutoRunNode& node = *row.Node;
  if (row.Kind == EntryKind::Record) {
    const auto& kept = static_cast<const TRecordRow&>(row);
    return EntryRef{row.Kind, Location::Parse(kept.Origin), row.Name, Location(), kept.Record, kept.Title};
  }
  // The place and the name as the saved list had them: no command writes there.
  if (row.Kind == EntryKind::Gone) return EntryRef{row.Kind, node.Location, row.Name, Location(), std::wstring(), std::wstring()};
  if (node.Location.kind == LocationKind::Sections) {
    const auto& section = static_cast<const TSectionRow&>(row);
    EntryRef value{row.Kind, node.Location.Subkey(section.Subkey), section.Value, Location(), std::wstring(), row.Name};
    value.location.rules = node.Location.rules;
    return value;
  }
  if (node.Location.kind == LocationKind::SubkeyValue) {
    EntryRef value{row.Kind, node.Location.Subkey(row.Name), node.Location.rules->subkeyValue, node.SwitchLocation,
                   std::wstring(), TitleOf(row)};
    value.location.rules = node.Location.rules;
    return value;
  }
  return EntryRef{row.Kind, node.Location, row.Name, node.SwitchLocation, std::wstring(), std::wstring()};
}

std::wstring EntryRef::FilePath() const { return AppendPathDelimiter(location.path) + name; }

bool EntryRef::Is(const TAutoRunItem& row) const {
  if (row.Kind != kind) return false;
  if (kind == EntryKind::Record) return static_cast<const TRecordRow&>(row).Record == record;
  const Location& place = row.Node->Location;
  if (kind == EntryKind::Gone) return row.Name == name && place == location;
  if (place.kind == LocationKind::Sections) {
    const auto& section = static_cast<const TSectionRow&>(row);
    return name == section.Value && location == place.Subkey(section.Subkey);
  }
  if (place.kind == LocationKind::SubkeyValue)
    return name == place.rules->subkeyValue && location == place.Subkey(row.Name);
  return row.Name == name && place == location;
}

bool EntryRef::In(const TAutoRunNode& node, std::wstring* rowName) const {
  if (kind == EntryKind::Record || kind == EntryKind::Gone || node.ListsRecords) return false;
  if (node.Location.kind == LocationKind::Sections) {
    // A value of a subkey below the place, one or two levels down.
    const std::wstring below = node.Location.path + L'\\';
    if (location.IsFolder() || location.IsTasks() || location.root != node.Location.root ||
        location.path.size() <= below.size() || location.path.compare(0, below.size(), below) != 0)
      return false;
    if (rowName) *rowName = location.path.substr(below.size()) + L'\\' + name;
    return true;
  }
  if (node.Location.kind != LocationKind::SubkeyValue) {
    if (!(node.Location == location)) return false;
    if (rowName) *rowName = name;
    return true;
  }
  if (name != node.Location.rules->subkeyValue || location.Parent() != node.Location) return false;
  if (rowName) *rowName = location.path.substr(location.path.find_last_of(L'\\') + 1);
  return true;
}

std::wstring ShownName(const std::wstring& name) {
  std::wstring shown = name;
  for (wchar_t& c : shown)
    if (c == L'\0') c = L'\u2400';  // SYMBOL FOR NULL
  return shown;
}
