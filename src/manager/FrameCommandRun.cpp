// From the user's act to a command: the entries taken at the act, the
// popup's items and the toolbar's buttons made and enabled by the command
// table, the keys, the clicks, Execute, and how a command's run ends in
// the list.
#include <algorithm>
#include <exception>

#include "manager/FrameMessages.h"
#include "manager/GoTo.h"
#include "manager/RecordStore.h"
#include "manager/velframe.h"

TakenEntry TVelmora::TakeRow(int row) const {
  const TAutoRunItem* item = rows_.At(row);
  TakenEntry taken;
  taken.ref = EntryRef::Of(*item);
  taken.hasSwitch = item->Stored() && item->HasSwitch();
  taken.off = item->SwitchedOff();
  taken.missing = item->Missing();
  taken.notDefault = places_.NotWindowsDefault(*item);
  if (item->Facts && !item->Missing()) taken.program = item->Facts->program;
  taken.command = item->Command;
  if (item->Kind == EntryKind::Record) taken.record = static_cast<const TRecordRow*>(item)->Record;
  return taken;
}

TakenEntries TVelmora::TakeSelection(bool whole) const {
  TakenEntries taken;
  const int focused = lvAutoRun.FocusedIndex();
  if (!whole) {
    // The single row alone: what the toolbar's rules ask of a selection.
    const int row = focused >= 0 && lvAutoRun.IsSelected(focused) ? focused : lvAutoRun.SelectedIndex();
    if (row >= 0) {
      taken.rows.push_back(TakeRow(row));
      taken.single = 0;
    }
  }
  for (int row = whole ? lvAutoRun.NextSelected(-1) : -1; row >= 0; row = lvAutoRun.NextSelected(row)) {
    if (row == focused) taken.single = static_cast<int>(taken.rows.size());
    taken.rows.push_back(TakeRow(row));
  }
  if (taken.single < 0 && !taken.rows.empty()) taken.single = 0;
  if (const TAutoRunNode* node = NodeItem(tvAutoRun.Selected())) taken.node = *node;
  taken.canUndo = !undo_.Empty();
  taken.comparing = places_.Comparison().Active();
  taken.saving = saver_.Busy();
  return taken;
}

void TVelmora::Execute(Command id, const TakenEntries& taken) {
  if (!Enabled(id, taken)) return;
  const TakenEntry* one = taken.Single();
  switch (id) {
    case Command::Add:
      return AddEntry(taken);
    case Command::Change:
      return ChangeEntry(taken);
    case Command::Delete:
      return taken.AllRecords() ? DiscardEntries(taken) : DeleteEntries(taken);
    case Command::Enable:
      return SwitchEntries(taken, true);
    case Command::Disable:
      return SwitchEntries(taken, false);
    case Command::Undo:
      return UndoLast();
    case Command::Restore:
      return RestoreEntries(taken);
    case Command::Export:
      return one->ref.kind == EntryKind::Gone ? ExportGone(*one) : ExportEntry(one->ref);
    case Command::Properties:
      return ShowProperties(one->ref);
    case Command::Refresh:
      return ReloadAll();
    case Command::Copy:
      return CopyRows(taken);
    case Command::Rename:
      return RenameInPlace(taken);
    case Command::PutDefault:
      return PutDefaultBack(one->ref);
    case Command::SaveList:
      return SaveList();
    case Command::HideWindows:
      return SetHideWindowsEntries(!places_.HidesWindows());
    case Command::OpenFileLocation:
      return ShowFileInFolder(one->program);
    case Command::OpenInRegistryEditor:
      return OpenInRegistryEditor(one->ref.location);
    case Command::OpenInTaskScheduler:
      return OpenTaskScheduler();
    case Command::CompareWithList:
      return CompareWithList();
    case Command::StopComparing:
      return StopComparing();
    case Command::StopSaving:
      return saver_.Cancel();
  }
}

// Runs at every selection change: with thousands of rows selected, taking
// each of them here would cost the square of their number.
void TVelmora::ApplyRuleToToolBar() {
  const TakenEntries taken = TakeSelection(false);
  for (const CommandInfo& info : Commands())
    if (info.picture >= 0)
      if (ui::ToolButton* button = tbrCommands.ButtonOf(ItemIdOf(info.id))) button->SetEnabled(info.enabled(taken));
}

// The popup takes the rows it opens on: what its items then do is what
// the user saw, whatever moves in the list meanwhile.
void TVelmora::pmAutoRunPopup() {
  popupTaken_ = TakeSelection();
  for (const CommandInfo& info : Commands()) {
    ui::MenuItem* item = pmAutoRun.ItemOf(ItemIdOf(info.id));
    if (!item || info.sharesItem) continue;
    const Command shown = ItemCommand(info.id, popupTaken_);
    item->SetEnabled(Enabled(shown, popupTaken_));
    item->SetCaption(InfoOf(shown).caption);
    if (info.toggle) item->SetChecked(shown == Command::HideWindows && places_.HidesWindows());
  }
}

void TVelmora::miCommandClick(int itemId) {
  if (const std::optional<Command> id = CommandOfItemId(itemId)) Execute(ItemCommand(*id, popupTaken_), popupTaken_);
}

void TVelmora::tbCommandClick(int itemId) {
  if (const std::optional<Command> id = CommandOfItemId(itemId)) Execute(*id, TakeSelection());
}

void TVelmora::lvAutoRunKeyDown(ui::KeyEvent& event) {
  const TakenEntries taken = TakeSelection();
  const std::optional<Command> id = CommandOfKey(event.key, event.ctrl, event.shift, event.alt, taken);
  if (!id) return;
  event.key = 0;
  Execute(*id, taken);
}

// A box click and Space switch the row from the state it showed at the
// press; the switch runs once the list is done with the click.
void TVelmora::lvAutoRunCheckClick(int item) {
  if (!rows_.At(item)) return;
  TakenEntries taken;
  taken.rows.push_back(TakeRow(item));
  taken.single = 0;
  clickedSwitches_.push_back(std::move(taken));
  PostMessageW(Handle(), kSwitchClicked, 0, 0);
}

// The row double-clicked, whatever was selected before: Change, as Enter
// runs it, or nothing where the row's place refuses Change.
void TVelmora::lvAutoRunDblClick(int item) {
  if (!rows_.At(item)) return;
  SelectRow(item);
  Execute(Command::Change, TakeSelection());
}

void TVelmora::RunCommand(const std::function<void(CommandRun&)>& command) {
  const int selectedRow = lvAutoRun.SelectedIndex();
  CommandRun run;
  run.select = SelectedEntry();
  std::exception_ptr failure;
  try {
    command(run);
  } catch (...) {
    failure = std::current_exception();
  }
  for (const EntryRef& entry : run.touched) places_.RememberOwn(entry);
  if (run.select) places_.RememberOwn(*run.select);
  try {
    // A command that was refused put back what it kept: this costs no
    // record then.
    KeepRecordsWithinLimit();
    UpdateRows(run.touched, run.select, run.wholeList, selectedRow);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  relistOwed_ = true;
  StartIdleWork();
  if (failure) std::rethrow_exception(failure);
}

void TVelmora::RunUndoable(const std::function<bool(CommandRun&, UndoStep&)>& command) {
  RunCommand([&](CommandRun& run) {
    UndoStep step;
    if (command(run, step)) undo_.Push(std::move(step));
  });
}

void TVelmora::EachInTurn(const std::vector<EntryRef>& entries, CommandRun& run,
                          const std::function<bool(const EntryRef&, UndoStep&)>& act) {
  undo_.EachInTurn(
      entries,
      [&](const EntryRef& entry) {
        run.touched.push_back(entry);
        run.select = entry;
      },
      act);
}

// Where the taken rows are now.
std::optional<EntryRef> TVelmora::NeighbourOf(const TakenEntries& taken) const {
  int first = -1, last = -1;
  for (const TakenEntry& row : taken.rows) {
    const int at = rows_.Find(row.ref);
    if (at < 0) continue;
    first = first < 0 ? at : std::min(first, at);
    last = std::max(last, at);
  }
  if (first < 0) return std::nullopt;
  const TAutoRunItem* neighbour = rows_.At(last + 1 < rows_.Count() ? last + 1 : first - 1);
  return neighbour ? std::optional<EntryRef>(EntryRef::Of(*neighbour)) : std::nullopt;
}
