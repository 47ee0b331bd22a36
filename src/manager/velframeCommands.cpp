// The editing commands and the handlers that run them. Each acts at once
// on the registry or the Startup folder and then refreshes the list. Names
// and texts go to the registry and the file system as the row and the
// dialog hold them, in UTF-16.
#include "common/CommandLine.h"
#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Names.h"
#include "common/Registry.h"
#include "common/ShellLink.h"
#include "manager/Location.h"
#include "manager/LocationCatalogue.h"
#include "manager/StartupSwitches.h"
#include "manager/aritemdlg.h"
#include "manager/velframe.h"

namespace {

EVelmoraError ValueExists(const std::wstring& name) {
  return EVelmoraError(FormatMessageText("Value '%s' already exists", name));
}

// Not FileIsPresent: its search takes wildcards, and a part of a command
// line such as "C:\a?.exe" must not find "C:\ab.exe".
bool IsExistingFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// Runs a command step; when it raises, the list is refreshed first, so
// that it shows what the registry and the folder hold now.
template <typename Step>
static auto RefreshingOnError(TVelmora& frame, Step step) {
  try {
    return step();
  } catch (...) {
    frame.RefreshEntries();
    throw;
  }
}

void TVelmora::AddEntry() {
  // Only into the location the tree shows selected.
  const TAutoRunNode* node = NodeItem(tvAutoRun.Selected());
  if (CurrentLocation.empty() || !node || !node->AllowsAdd || node->Location != CurrentLocation) return;
  TAutoRunItemDlg dialog;
  if (dialog.ShowModal() != ui::ModalResult::Ok) return;
  const std::wstring name = dialog.NameText(), path = dialog.PathText();
  if (NodeItem(tvAutoRun.Selected()) != node) return;
  if (IsFolderLocation(CurrentLocation)) {
    // The shortcut is made from the Path text (the Name text when Path is
    // empty), read as a command line the way Windows reads one: what the
    // browse button fills in, and the form every registry row shows.
    const WideProgramAndArguments command = SplitCommandLine(path.empty() ? name : path, IsExistingFile);
    std::wstring link;
    CreateShortcut(CurrentLocation, command.program, L"", command.arguments, link);
    // A switch left under the new file's name belonged to a deleted entry.
    RefreshingOnError(*this, [&] { RemoveStartupSwitch(node->ApprovalLocation, FileNamePart(link)); });
  } else {
    const RegistryKey key = RefreshingOnError(*this, [&] { return OpenRegistryLocationOrThrow(CurrentLocation, KeyAccess::Write); });
    if (key.ValueExists(name)) throw ValueExists(name);
    key.WriteString(name, path, REG_SZ);
    RefreshingOnError(*this, [&] { RemoveStartupSwitch(node->ApprovalLocation, name); });
  }
  RefreshEntries();
}

void TVelmora::ChangeEntry() {
  const int row = lvAutoRun.SelectedIndex();
  if (CurrentLocation.empty() || row < 0 || !RowItem(row)) return;
  TAutoRunItemDlg dialog;
  const std::wstring origin = RowItem(row)->Origin();
  const bool isRegistryValue = RowItem(row)->Kind == ItemKind::RegistryValue;
  const std::wstring approvalLocation = RowItem(row)->SwitchLocation();
  dialog.SetNameText(RowItem(row)->Name);
  dialog.SetPathText(RowItem(row)->Command);
  if (dialog.ShowModal() != ui::ModalResult::Ok) return;
  const std::wstring newName = dialog.NameText(), newPath = dialog.PathText();
  const HTREEITEM node = tvAutoRun.Selected();
  if (!node || !NodeItem(node)) return;
  if (isRegistryValue) {
    // The row selected now: the modal dialog kept the list as it was.
    const int current = lvAutoRun.SelectedIndex();
    if (current < 0 || !RowItem(current)) return;
    const std::wstring oldName = RowItem(current)->Name;
    const RegistryKey key = RefreshingOnError(*this, [&] { return OpenRegistryLocationOrThrow(origin, KeyAccess::Write); });
    // An expandable string stays one: "%ProgramFiles%\..." must expand.
    const bool expandable = key.ValueType(oldName) == REG_EXPAND_SZ;
    if (newName != oldName) {
      if (SameName(newName, oldName))
        key.RenameValueCase(oldName, newName);
      else if (key.ValueExists(newName))
        throw ValueExists(newName);
      else
        key.RenameValue(oldName, newName);
    }
    key.WriteString(newName, newPath, expandable ? REG_EXPAND_SZ : REG_SZ);
    // The entry keeps its switch under its new name.
    if (newName != oldName)
      RefreshingOnError(*this, [&] { MoveStartupSwitch(approvalLocation, oldName, newName); });
  }
  RefreshEntries();
}

// The row's kind decides what is deleted, never a look at the disk: a
// registry row's location would be a relative path there.
void TVelmora::DeleteEntry() {
  const int selected = lvAutoRun.SelectedIndex();
  if (selected < 0 || !RowItem(selected)) return;
  const std::wstring origin = RowItem(selected)->Origin(), name = RowItem(selected)->Name;
  const std::wstring approvalLocation = RowItem(selected)->SwitchLocation();
  if (RowItem(selected)->Kind == ItemKind::File) {
    const std::wstring file = LongPathForm(origin);
    const DWORD attributes = GetFileAttributesW(file.c_str());
    // A subfolder named like a program is listed, but is no entry to delete.
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    // A file that has vanished is gone already: the refresh drops its row.
    const bool failed = !folder && attributes != INVALID_FILE_ATTRIBUTES && !DeleteFileW(file.c_str()) &&
                        GetLastError() != ERROR_FILE_NOT_FOUND;
    if (!folder && !failed) RefreshingOnError(*this, [&] { RemoveStartupSwitch(approvalLocation, name); });
    RefreshEntries();
    if (folder) throw EVelmoraError(FormatMessageText("'%s' is a folder", origin));
    if (failed) throw EVelmoraError(FormatMessageText("Failed to delete file '%s'", origin));
    return;
  }
  const RegistryKey key = RefreshingOnError(*this, [&] { return OpenRegistryLocationOrThrow(origin, KeyAccess::Write); });
  const LONG removed = key.DeleteValue(name);
  if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
    RefreshEntries();
    throw ERegistryException(FormatMessageText("Failed to delete value '%s'", name));
  }
  RefreshingOnError(*this, [&] { RemoveStartupSwitch(approvalLocation, name); });
  // The neighbour takes the focus and the selection before the row goes,
  // as the list does for a row deleted under the keyboard.
  const int count = lvAutoRun.Count();
  if (selected < count - 1)
    lvAutoRun.SetFocused(selected + 1, true);
  else if (selected > 0)
    lvAutoRun.SetFocused(selected - 1, true);
  DeleteRow(selected);
  const int focused = lvAutoRun.FocusedIndex();
  if (focused >= 0) lvAutoRun.SetSelected(focused, true);
  RefreshEntries();
}

void TVelmora::SwitchEntry(int row) {
  const TAutoRunItem* entry = RowItem(row);
  if (!entry || !entry->HasSwitch()) return;
  const std::wstring approvalLocation = entry->SwitchLocation(), name = entry->Name;
  const bool on = entry->SwitchedOff();
  RefreshingOnError(*this, [&] { SwitchStartupEntry(approvalLocation, name, on); });
  RefreshEntries();
}

void TVelmora::miSwitchClick() { SwitchEntry(lvAutoRun.SelectedIndex()); }
void TVelmora::miAddClick() { AddEntry(); }
void TVelmora::miChangeClick() { ChangeEntry(); }
void TVelmora::miDeleteClick() { DeleteEntry(); }

void TVelmora::lvAutoRunDblClick() {
  const int row = lvAutoRun.SelectedIndex();
  const TAutoRunItem* entry = row >= 0 ? RowItem(row) : nullptr;
  if (entry && entry->Kind == ItemKind::RegistryValue) ChangeEntry();
}
