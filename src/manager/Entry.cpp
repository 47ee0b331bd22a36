#include "manager/Entry.h"

#include "common/PathText.h"

std::wstring TAutoRunItem::FilePath() const { return AppendPathDelimiter(Node->Location) + Name; }

EntryRef EntryRef::Of(const TAutoRunItem& row) {
  return EntryRef{row.Kind, row.Node->Location, row.Name, row.Node->SwitchLocation};
}

std::wstring EntryRef::FilePath() const { return AppendPathDelimiter(location) + name; }

bool EntryRef::Is(const TAutoRunItem& row) const {
  return row.Kind == kind && row.Name == name && row.Node->Location == location;
}

std::wstring ShownName(const std::wstring& name) {
  std::wstring shown = name;
  for (wchar_t& c : shown)
    if (c == L'\0') c = L'\u2400';  // SYMBOL FOR NULL
  return shown;
}
