#pragma once
// The manager's commands, one table: each command's id, caption, picture,
// key and the rule for when it is enabled, the rule a function of the
// entries the user acted on, taken at that moment. The popup's items and
// the toolbar's buttons are made from it in one loop each; they, the keys,
// a double click, a box click and the in-place rename all end in the
// frame's one Execute. A new command is an enum value, a row and its case
// in Execute.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "manager/Entry.h"

enum class Command : unsigned char {
  Add, Change, Delete, Enable, Disable, Undo, Restore, Export, Properties, Refresh, Copy, Rename, PutDefault, SaveList,
  OpenFileLocation, OpenInRegistryEditor, OpenInTaskScheduler, HideWindows, CompareWithList, StopSaving, StopComparing,
};

// One row as the user saw it when acting: its identity and what it showed.
struct TakenEntry {
  EntryRef ref;
  bool hasSwitch = false;
  bool off = false;      // switched off, as shown
  bool missing = false;  // the program is gone, as shown
  bool notDefault = false;  // not Windows' own text, as shown (a place with defaults)
  std::wstring command;  // as the row showed it
  std::wstring record;   // a row of "REMOVED": the record
  std::wstring program;  // the program file it starts, when found
};

// What a command acts on: the selected rows in list order, the one a
// single-entry command takes (the focused row when it is selected, as
// Explorer's F2 and Properties do, else the first), and the node shown.
struct TakenEntries {
  std::vector<TakenEntry> rows;
  int single = -1;  // index into rows; -1 when none is selected
  std::optional<TAutoRunNode> node;  // the node selected, when a command may add to it
  bool canUndo = false;
  bool comparing = false;  // the list is compared with a saved list
  bool saving = false;     // the list is being saved

  const TakenEntry* Single() const { return single >= 0 ? &rows[static_cast<size_t>(single)] : nullptr; }
  // The row whose switch names the popup's "Disable" or "Enable": the
  // single row when it has a switch, else the first that has one.
  const TakenEntry* SwitchingRow() const;
  bool AllRecords() const;
};

struct CommandInfo {
  Command id;
  const wchar_t* caption;  // the popup's; null for commands it does not show
  // The toolbar's picture (an index of the frame's image list); -1: not
  // on the toolbar. `spaced`: a separator before its button.
  int picture;
  bool spaced;
  // Shares the popup item of the row before it: the item shows whichever
  // of them the rows taken can run (Disable or Enable).
  bool sharesItem;
  bool toggle;             // a switch of the view: its item and button show it checked
  std::uint16_t key;       // a virtual-key code; 0: no key
  bool ctrl;
  bool (*enabled)(const TakenEntries& taken);
};

// The table, in the popup's and the toolbar's order.
const std::vector<CommandInfo>& Commands();
const CommandInfo& InfoOf(Command id);
// One id per command, the popup item's and the tool button's alike.
int ItemIdOf(Command id);
std::optional<Command> CommandOfItemId(int id);
// What the popup item of `id` runs on the rows taken: of the commands
// sharing it, the first the rule enables, else `id`.
Command ItemCommand(Command id, const TakenEntries& taken);
// The command a key pressed in the list runs (Shift and Alt not held; Delete
// with any of them), if any: of the commands sharing the key, the first
// the rule enables on `taken`, else the first.
std::optional<Command> CommandOfKey(std::uint16_t key, bool ctrl, bool shift, bool alt, const TakenEntries& taken);
bool Enabled(Command id, const TakenEntries& taken);
