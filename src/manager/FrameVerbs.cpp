// The commands, each over the entries taken when the user acted: the
// dialogs they ask with, then the entry commands (EntryCommands.h) run
// through RunCommand, which reads back what they touched.
#include <memory>
#include <utility>

#include "common/Errors.h"
#include "manager/EntryCommands.h"
#include "manager/GoTo.h"
#include "manager/ListSaving.h"
#include "common/FileTools.h"
#include "manager/RecordStore.h"
#include "manager/TaskCommands.h"
#include "manager/aritemdlg.h"
#include "manager/velframe.h"
#include "ui/Clipboard.h"
#include "ui/CommonDialogs.h"

// Into the location the tree showed selected when the user asked: the
// dialog may take its time.
void TVelmora::AddEntry(const TakenEntries& taken) {
  std::wstring name, path;
  if (AskItem(name, path)) AddAs(taken, name, path);
}

// The item dialog closed with OK stays until idle time: the command it
// asked for and its painted rows come first.
bool TVelmora::AskItem(std::wstring& name, std::wstring& path) {
  auto dialog = std::make_unique<TAutoRunItemDlg>();
  dialog->SetNameText(name);
  dialog->SetPathText(path);
  if (dialog->ShowModal() != ui::ModalResult::Ok) return false;
  name = dialog->NameText();
  path = dialog->PathText();
  closedDialog_ = std::move(dialog);
  return true;
}

void TVelmora::AddAs(const TakenEntries& taken, const std::wstring& name, const std::wstring& path) {
  if (!Enabled(Command::Add, taken)) return;
  RunUndoable([&](CommandRun& run, UndoStep& step) {
    run.select = ::AddEntry(*taken.node, name, path, &step);
    run.touched.push_back(*run.select);
    return true;
  });
}

void TVelmora::ChangeEntry(const TakenEntries& taken) {
  const TakenEntry& entry = *taken.Single();
  RequireAddressable(entry.ref);
  std::wstring name = entry.ref.name, path = entry.command;
  if (AskItem(name, path)) ChangeTo(taken, name, path);
}

void TVelmora::ChangeTo(const TakenEntries& taken, const std::wstring& newName, const std::wstring& newPath) {
  if (!Enabled(Command::Change, taken)) return;
  const EntryRef& entry = taken.Single()->ref;
  RunUndoable([&](CommandRun& run, UndoStep& step) {
    run.touched.push_back(entry);
    run.select = ::ChangeEntry(entry, newName, newPath, &step);
    run.touched.push_back(*run.select);
    return true;
  });
}

void TVelmora::PutDefaultBack(const EntryRef& entry) {
  RunUndoable([&](CommandRun& run, UndoStep& step) {
    run.select = ::PutWindowsDefault(entry, &step);
    run.touched.push_back(*run.select);
    return true;
  });
}

// The list's edit box is filled from a buffer of MAX_PATH characters: a
// longer name would come back cut, so it is renamed in the item dialog.
void TVelmora::RenameInPlace(const TakenEntries& taken) {
  const TakenEntry& entry = *taken.Single();
  RequireAddressable(entry.ref);
  if (entry.ref.name.size() >= MAX_PATH) {
    TakenEntries one = taken;
    one.rows = {entry};
    one.single = 0;
    return Execute(Command::Change, one);
  }
  const int row = rows_.Find(entry.ref);
  if (row < 0) return;
  editing_ = entry.ref;
  lvAutoRun.EditLabel(row);
}

void TVelmora::RenameTo(const EntryRef& entry, const std::wstring& newName) {
  if (newName == entry.name) return;
  RunUndoable([&](CommandRun& run, UndoStep& step) {
    run.touched.push_back(entry);
    run.select = ::RenameEntry(entry, newName, &step);
    run.touched.push_back(*run.select);
    return true;
  });
}

// Each taken entry in turn, each its own undo step; the first that fails
// stops the rest and is named in the message (it is left whole). Then the
// neighbour in the same list takes the selection.
void TVelmora::DeleteEntries(const TakenEntries& taken) {
  std::vector<EntryRef> entries;
  for (const TakenEntry& row : taken.rows)
    if (row.ref.kind != EntryKind::Record) entries.push_back(row.ref);
  const std::optional<EntryRef> next = NeighbourOf(taken);
  RunCommand([&](CommandRun& run) {
    EachInTurn(entries, run, [](const EntryRef& entry, UndoStep& step) {
      ::DeleteEntry(entry, &step);
      return true;
    });
    run.select = next;
  });
}

// Every taken entry that has a switch ends in the state the command
// names; one that is so already is left alone (no record, no undo step).
void TVelmora::SwitchEntries(const TakenEntries& taken, bool on) {
  std::vector<EntryRef> entries;
  for (const TakenEntry& row : taken.rows)
    if (row.hasSwitch) entries.push_back(row.ref);
  const std::optional<EntryRef> selected = SelectedEntry();
  RunCommand([&](CommandRun& run) {
    EachInTurn(entries, run, [on](const EntryRef& entry, UndoStep& step) { return ::SwitchEntry(entry, on, &step); });
    run.select = selected;
  });
}

// A step that cannot be taken back goes all the same, so that the next
// undo reaches the command before it; what it removed stays in its record.
void TVelmora::UndoLast() {
  if (undo_.Empty()) return;
  const EntryRef entry = *undo_.NewestEntry();
  RunCommand([&](CommandRun& run) {
    run.touched.push_back(entry);
    run.select = undo_.UndoNewest();
    run.touched.push_back(*run.select);
  });
}

// Each taken record in turn, stopping at the first that fails (it stays,
// and is named); a restored record leaves "REMOVED": the neighbour of the
// taken rows takes the selection.
void TVelmora::RestoreEntries(const TakenEntries& taken) {
  const std::optional<EntryRef> next = NeighbourOf(taken);
  std::vector<EntryRef> records;
  for (const TakenEntry& row : taken.rows) records.push_back(row.ref);
  RunCommand([&](CommandRun& run) {
    run.wholeList = true;
    run.select = next;
    // A restore is no step of its own: Ctrl+Z does not delete it again.
    undo_.EachInTurn(records, [](const EntryRef&) {}, [](const EntryRef& record, UndoStep&) {
      RestoreRecord(record.record);
      return false;
    });
  });
}

void TVelmora::DiscardEntries(const TakenEntries& taken) {
  const std::wstring question =
      taken.rows.size() == 1
          ? L"Delete the copy of '" + ShownName(taken.rows.front().ref.Said()) +
                L"' for good? It cannot be restored afterwards."
          : L"Delete the copies of these " + std::to_wstring(taken.rows.size()) +
                L" entries for good? They cannot be restored afterwards.";
  if (!ui::AskYesNo(Handle(), question, L"Velmora")) return;
  const std::optional<EntryRef> next = NeighbourOf(taken);
  RunCommand([&](CommandRun& run) {
    run.wholeList = true;
    run.select = next;
    for (const TakenEntry& row : taken.rows)
      if (!DiscardRecord(row.record))
        throw EVelmoraError(FormatMessageText("Failed to delete the copy of '%s'", ShownName(row.ref.Said())),
                            static_cast<long>(GetLastError()));
  });
}

void TVelmora::ShowProperties(const EntryRef& entry) {
  const TAutoRunItem* item = rows_.At(rows_.Find(entry));
  if (!item) throw EVelmoraError(FormatMessageText("'%s' is no longer listed", ShownName(entry.Said())), ERROR_FILE_NOT_FOUND);
  ShowProgramProperties(GetAncestor(Handle(), GA_ROOT), *item);
}

// A task goes out as its definition, a file the Task Scheduler imports.
void TVelmora::ExportEntry(const EntryRef& entry) {
  if (entry.kind == EntryKind::Task) {
    const std::wstring path =
        ui::AskWhereToSave(Handle(), L"Velmora task.xml", L"Task files\0*.xml\0All files\0*.*\0", L"xml");
    if (path.empty()) return;
    const DWORD written = WriteWholeFile(path, TaskDefinitionBytes(entry.name), true);
    if (written != ERROR_SUCCESS)
      throw EVelmoraError(FormatMessageText("Failed to export to '%s'", path), static_cast<long>(written));
    return;
  }
  RequireExportable(entry);
  const std::wstring path =
      ui::AskWhereToSave(Handle(), L"Velmora export.reg", L"Registration files\0*.reg\0All files\0*.*\0", L"reg");
  if (!path.empty()) ExportEntries({entry}, path);
}

void TVelmora::SaveList() {
  const std::wstring path =
      ui::AskWhereToSave(Handle(), L"Velmora list.csv", L"CSV files\0*.csv\0All files\0*.*\0", L"csv");
  if (!path.empty()) SaveListTo(path);
}

// Every place of the tree, not only the node shown; a root's places once.
void TVelmora::SaveListTo(const std::wstring& path) {
  if (saver_.Busy()) throw EVelmoraError(FormatMessageText("The list is being saved; press Esc to stop it before saving to '%s'", path));
  std::vector<const TAutoRunNode*> places;
  for (const auto& node : places_.Nodes())
    if (!node->ListsRecords && node->Location.kind != LocationKind::None) places.push_back(node.get());
  saver_.Start(places, path);
  ListSaveProgressed();
}

void TVelmora::ListSaveProgressed() {
  const ListSaver::Progress progress = saver_.Take();
  saveProgress_ = progress.ended        ? std::wstring()
                  : progress.total == 0 ? L"Saving the list: listing the entries (Esc stops)"
                                        : L"Saving the list: " + std::to_wstring(progress.done) + L" of " +
                                              std::to_wstring(progress.total) + L" entries (Esc stops)";
  ShowSkipping();
  if (progress.ended && !progress.error.empty()) throw EVelmoraError(progress.error, progress.code);
}

void TVelmora::CopyRows(const TakenEntries& taken) {
  std::wstring text;
  for (const TakenEntry& row : taken.rows) {
    const TAutoRunItem* item = rows_.At(rows_.Find(row.ref));
    if (!text.empty()) text += L"\r\n";
    text += (item ? ShownTitle(*item) : ShownName(row.ref.Said())) + L"\t" + (item ? item->ShownPath() : row.command);
  }
  if (!text.empty()) ui::CopyTextToClipboard(GetAncestor(Handle(), GA_ROOT), text);
}
