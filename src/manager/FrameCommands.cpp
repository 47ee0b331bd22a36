#include "manager/FrameCommands.h"

#include "manager/Pictures.h"

#include <windows.h>

#include <algorithm>

namespace {

bool IsValue(const TakenEntry& row) { return row.ref.kind == EntryKind::RegistryValue; }
bool IsRecord(const TakenEntry& row) { return row.ref.kind == EntryKind::Record; }
// A row of an entry that is there (not a record, not gone since a saved list).
bool IsEntry(const TakenEntry& row) { return !IsRecord(row) && row.ref.kind != EntryKind::Gone; }
// A value gone since the saved list, of a key whose values are its entries:
// the saved command can be exported as that value.
bool IsGoneValue(const TakenEntry& row) {
  const LocationKind kind = row.ref.location.kind;
  return row.ref.kind == EntryKind::Gone && (kind == LocationKind::Values || kind == LocationKind::ChosenValues);
}
bool IsTask(const TakenEntry& row) { return row.ref.kind == EntryKind::Task; }

// What the entry's place takes; a row of "REMOVED" takes what that node does.
bool Changes(const TakenEntry& row) { return IsValue(row) && row.ref.Rules().Changes(row.ref.name); }
bool Renames(const TakenEntry& row) { return IsValue(row) && row.ref.Rules().rename; }
bool Deletes(const TakenEntry& row) { return IsRecord(row) || (IsEntry(row) && row.ref.Rules().Removes(row.ref.name)); }
bool PutsDefault(const TakenEntry& row) {
  return IsValue(row) && row.ref.Rules().windowsDefaults && row.notDefault && HasWindowsDefault(row.ref.name);
}

bool SingleIs(const TakenEntries& taken, bool (*what)(const TakenEntry&)) {
  return taken.Single() && what(*taken.Single());
}

// The popup shows one of the two, as the row SwitchingRow names says;
// every taken row with a switch then ends that way.
bool CanSwitch(const TakenEntries& taken, bool toOn) {
  const TakenEntry* row = taken.SwitchingRow();
  return row && row->off == toOn;
}

// Columns: caption, picture (-1: no button), spaced, shares the item
// before, toggle, key, Ctrl.
const std::vector<CommandInfo> kCommands = {
    {Command::Add, L"Add new", imgAdd, false, false, false, VK_INSERT, false,
     [](const TakenEntries& t) { return t.node && t.node->AllowsAdd; }},
    {Command::Change, L"Change", imgChange, false, false, false, VK_RETURN, false,
     [](const TakenEntries& t) { return SingleIs(t, Changes); }},
    {Command::Delete, L"Delete", imgDelete, false, false, false, VK_DELETE, false,
     [](const TakenEntries& t) { return !t.rows.empty() && std::all_of(t.rows.begin(), t.rows.end(), Deletes); }},
    {Command::Disable, L"Disable", -1, false, false, false, 0, false,
     [](const TakenEntries& t) { return CanSwitch(t, false); }},
    {Command::Enable, L"Enable", -1, false, true, false, 0, false, [](const TakenEntries& t) { return CanSwitch(t, true); }},
    {Command::PutDefault, L"Put Windows' default back", -1, false, false, false, 0, false,
     [](const TakenEntries& t) { return SingleIs(t, PutsDefault); }},
    {Command::Undo, L"Undo", -1, false, false, false, 'Z', true, [](const TakenEntries& t) { return t.canUndo; }},
    {Command::Restore, L"Restore", -1, false, false, false, 0, false,
     [](const TakenEntries& t) { return !t.rows.empty() && t.AllRecords(); }},
    {Command::Copy, L"Copy", -1, false, false, false, 'C', true, [](const TakenEntries& t) { return !t.rows.empty(); }},
    {Command::Export, L"Export...", -1, false, false, false, 0, false,
     [](const TakenEntries& t) { return SingleIs(t, IsEntry) || SingleIs(t, IsGoneValue); }},
    {Command::Properties, L"Properties", -1, false, false, false, 0, false,
     [](const TakenEntries& t) { return SingleIs(t, IsEntry) && !t.Single()->missing; }},
    {Command::OpenFileLocation, L"Open file location", -1, false, false, false, 0, false,
     [](const TakenEntries& t) { return t.Single() && !t.Single()->program.empty(); }},
    {Command::OpenInRegistryEditor, L"Open in Registry Editor", -1, false, false, false, 0, false,
     [](const TakenEntries& t) { return SingleIs(t, IsValue); }},
    {Command::OpenInTaskScheduler, L"Open in Task Scheduler", -1, false, false, false, 0, false,
     [](const TakenEntries& t) { return SingleIs(t, IsTask); }},
    {Command::Refresh, nullptr, imgRefresh, true, false, false, VK_F5, false, [](const TakenEntries&) { return true; }},
    {Command::HideWindows, L"Hide Windows' entries", imgSkipped, true, false, true, 0, false,
     [](const TakenEntries&) { return true; }},
    {Command::SaveList, L"Save list...", -1, false, false, false, 0, false, [](const TakenEntries&) { return true; }},
    {Command::CompareWithList, L"Compare with saved list...", imgCompare, false, false, false, 0, false,
     [](const TakenEntries&) { return true; }},
    {Command::StopSaving, nullptr, -1, false, false, false, VK_ESCAPE, false,
     [](const TakenEntries& t) { return t.saving; }},
    {Command::StopComparing, nullptr, -1, false, false, false, VK_ESCAPE, false,
     [](const TakenEntries& t) { return t.comparing; }},
    {Command::Rename, nullptr, -1, false, false, false, VK_F2, false,
     [](const TakenEntries& t) { return SingleIs(t, Renames); }},
};

// The popup's and the toolbar's ids: clear of the frame's own controls.
constexpr int kFirstItemId = 201;

}  // namespace

const TakenEntry* TakenEntries::SwitchingRow() const {
  if (Single() && Single()->hasSwitch) return Single();
  for (const TakenEntry& row : rows)
    if (row.hasSwitch) return &row;
  return nullptr;
}

bool TakenEntries::AllRecords() const {
  return std::all_of(rows.begin(), rows.end(), IsRecord);
}

const std::vector<CommandInfo>& Commands() { return kCommands; }

const CommandInfo& InfoOf(Command id) {
  return *std::find_if(kCommands.begin(), kCommands.end(), [id](const CommandInfo& info) { return info.id == id; });
}

std::optional<Command> CommandOfKey(std::uint16_t key, bool ctrl, bool shift, bool alt, const TakenEntries& taken) {
  // Delete takes whatever shift keys are held.
  if (key == VK_DELETE) return Command::Delete;
  if (alt || shift) return std::nullopt;
  std::optional<Command> first;
  for (const CommandInfo& info : kCommands) {
    if (info.key != key || info.ctrl != ctrl) continue;
    if (info.enabled(taken)) return info.id;
    if (!first) first = info.id;
  }
  return first;
}

bool Enabled(Command id, const TakenEntries& taken) { return InfoOf(id).enabled(taken); }

int ItemIdOf(Command id) { return kFirstItemId + static_cast<int>(id); }

std::optional<Command> CommandOfItemId(int id) {
  for (const CommandInfo& info : kCommands)
    if (ItemIdOf(info.id) == id) return info.id;
  return std::nullopt;
}

Command ItemCommand(Command id, const TakenEntries& taken) {
  auto row = std::find_if(kCommands.begin(), kCommands.end(), [id](const CommandInfo& info) { return info.id == id; });
  for (auto shared = row; shared != kCommands.end() && (shared == row || shared->sharesItem); ++shared)
    if (shared->enabled(taken)) return shared->id;
  return id;
}
