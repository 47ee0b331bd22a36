#include "manager/ListComparison.h"

#include <windows.h>

#include <algorithm>
#include <unordered_set>

#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Names.h"
#include "common/PathText.h"
#include "manager/ListSaving.h"

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH * 2];
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH * 2);
  return length > 0 && length < MAX_PATH * 2 ? std::wstring(value, length) : std::wstring();
}

// A 32-bit process sees "Program Files (x86)" as %ProgramFiles%; the
// native folder is %ProgramW6432% on 64-bit Windows.
std::vector<FolderName> MachineFolders() {
  std::wstring programFiles = Environment(L"ProgramW6432");
  if (programFiles.empty()) programFiles = Environment(L"ProgramFiles");
  std::vector<FolderName> folders = {{Environment(L"USERPROFILE"), L"%USERPROFILE%", L""},
                                     {Environment(L"APPDATA"), L"%APPDATA%", L""},
                                     {Environment(L"LOCALAPPDATA"), L"%LOCALAPPDATA%", L""},
                                     {programFiles, L"%ProgramFiles%", L""},
                                     {Environment(L"ProgramFiles(x86)"), L"%ProgramFiles(x86)%", L""}};
  for (FolderName& folder : folders) folder.folded = FoldedName(folder.folder);
  return folders;
}

// The hash of the program the row's facts name (a list's first program's),
// once that program's answer came: a list's own facts never get one.
std::wstring Sha256Of(const ProgramFacts* facts) {
  if (!facts) return std::wstring();
  const ProgramFacts* program = facts;
  for (const ProgramFacts* part : facts->parts)
    if (part && part->program == facts->program) {
      program = part;
      break;
    }
  return program->signatureKnown ? program->sha256 : std::wstring();
}

}  // namespace

std::wstring ListComparison::KeyOf(const std::wstring& location, const std::wstring& name) {
  return location + L'\n' + FoldedName(name);
}

std::vector<std::wstring> ListComparison::Start(const std::wstring& path, const std::vector<std::wstring>& places) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes))
    throw EVelmoraError(FormatMessageText("Failed to read the list '%s'", path), static_cast<long>(GetLastError()));
  const std::unordered_set<std::wstring> known(places.begin(), places.end());
  const std::wstring fileName = FileNamePart(path);
  SavedList list = ReadSavedList(std::string(bytes.begin(), bytes.end()), fileName,
                                 [&](const std::wstring& place) { return known.count(place) != 0; }, FoldedName);
  // Not a list at all: the comparison before, if any, stays.
  if (list.entries.empty() && !list.problems.empty()) return std::move(list.problems);
  Stop();
  path_ = path;
  fileName_ = fileName;
  entries_ = std::move(list.entries);
  folders_ = MachineFolders();
  for (const SavedEntry& entry : entries_) {
    byIdentity_.emplace(KeyOf(entry.location, entry.name), Saved{&entry, NeutralOf(entry, folders_, FoldedName)});
    byPlace_[entry.location].push_back(&entry);
  }
  return std::move(list.problems);
}

void ListComparison::Stop() {
  path_.clear();
  fileName_.clear();
  byIdentity_.clear();
  byPlace_.clear();
  entries_.clear();
}

const ListComparison::Saved* ListComparison::SavedOf(const TAutoRunItem& row) const {
  const auto saved = byIdentity_.find(KeyOf(row.Node->Location.Text(), row.Name));
  return saved == byIdentity_.end() ? nullptr : &saved->second;
}

ComparedMark ListComparison::MarkOf(const TAutoRunItem& row) const {
  if (!Active() || row.Kind == EntryKind::Record) return ComparedMark::None;
  if (row.Kind == EntryKind::Gone) return ComparedMark::Gone;
  const Saved* saved = SavedOf(row);
  if (!saved) return ComparedMark::New;
  EntryNow now;
  now.command = row.ShownPath();
  now.state = ListState(row);
  now.hasSwitch = row.HasSwitch();
  if (row.Facts && !row.Missing()) now.program = row.Facts->program;
  now.sha256 = Sha256Of(row.Facts);
  return MarkAgainst(*saved->entry, saved->neutral, now, folders_, FoldedName);
}

std::wstring ListComparison::TextOf(const TAutoRunItem& row) const {
  switch (MarkOf(row)) {
    case ComparedMark::None:
      return std::wstring();
    case ComparedMark::New:
      return L"New since " + fileName_;
    case ComparedMark::CommandChanged:
      return L"Command changed";
    case ComparedMark::ProgramChanged:
      return L"Program changed";
    case ComparedMark::SwitchedOn:
      return L"Switched on";
    case ComparedMark::SwitchedOff:
      return L"Switched off";
    case ComparedMark::Gone:
      return L"Gone since " + fileName_;
  }
  return std::wstring();
}

void ListComparison::AddGone(const std::vector<const TAutoRunNode*>& nodes, EntryRows& rows) const {
  if (!Active()) return;
  std::unordered_set<std::wstring> there;
  for (const auto& row : rows)
    if (row->Stored()) there.insert(KeyOf(row->Node->Location.Text(), row->Name));
  EntryRows merged;
  merged.reserve(rows.size());
  auto next = rows.begin();
  for (const TAutoRunNode* node : nodes) {
    while (next != rows.end() && (*next)->Node == node) merged.push_back(std::move(*next++));
    if (node->ListsRecords) continue;
    const auto saved = byPlace_.find(node->Location.Text());
    if (saved == byPlace_.end()) continue;
    for (const SavedEntry* entry : saved->second) {
      if (there.count(KeyOf(entry->location, entry->name))) continue;
      auto gone = std::make_unique<TGoneRow>();
      gone->Kind = EntryKind::Gone;
      gone->Node = node;
      gone->Name = entry->name;
      gone->Command = entry->command;
      gone->State = entry->state;
      gone->Presence = RowPresence::Unknown;  // nothing on disk to look at
      merged.push_back(std::move(gone));
    }
  }
  // Rows of a node not given stay, after the rest.
  for (; next != rows.end(); ++next) merged.push_back(std::move(*next));
  rows = std::move(merged);
}

void ListComparison::Tally(const TAutoRunItem& row, Counts& counts) const {
  switch (MarkOf(row)) {
    case ComparedMark::None:
      return;
    case ComparedMark::New:
      ++counts.fresh;
      return;
    case ComparedMark::Gone:
      ++counts.gone;
      return;
    default:
      ++counts.changed;
  }
}
