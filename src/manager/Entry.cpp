#include "manager/Entry.h"

#include "common/PathText.h"

std::uint64_t TAutoRunItem::FileStamp() const {
  return Kind == EntryKind::File ? static_cast<const TFileRow&>(*this).Stamp : 0;
}

std::wstring TAutoRunItem::FilePath() const { return AppendPathDelimiter(Node->Location) + Name; }

// A record row is told apart by its record: the same entry may have been
// removed twice.
static const std::wstring& LocationOf(const TAutoRunItem& row) {
  return row.Kind == EntryKind::Record ? static_cast<const TRecordRow&>(row).Record : row.Node->Location;
}

EntryRef EntryRef::Of(const TAutoRunItem& row) {
  return EntryRef{row.Kind, LocationOf(row), row.Name, row.Node->SwitchLocation};
}

std::wstring EntryRef::FilePath() const { return AppendPathDelimiter(location) + name; }

bool EntryRef::Is(const TAutoRunItem& row) const {
  return row.Kind == kind && row.Name == name && LocationOf(row) == location;
}

std::wstring ShownName(const std::wstring& name) {
  std::wstring shown = name;
  for (wchar_t& c : shown)
    if (c == L'\0') c = L'\u2400';  // SYMBOL FOR NULL
  return shown;
}
