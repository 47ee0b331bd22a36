// The editing commands and the handlers that run them. Each acts at once
// on the registry or the Startup folder and then refreshes the list.
#include "common/CommandLine.h"
#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Names.h"
#include "common/Registry.h"
#include "common/ShellLink.h"
#include "manager/Location.h"
#include "manager/aritemdlg.h"
#include "manager/velframe.h"

namespace {


// Opens a location's key with full access, for writing.
void OpenForWriting(TRegistry& registry, const std::string& location) {
  const RegistryLocation split = SplitRegistryLocation(location);
  registry.SelectRootKey(split.root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
  if (!registry.OpenExistingKey(split.keyPath))
    throw ERegistryException(FormatMessageText("Failed to open key '%s'", location));
}

EVelmoraError ValueExists(const std::string& name) {
  return EVelmoraError(FormatMessageText("Value '%s' already exists", name));
}

}  // namespace

// Runs a command step; when it raises, the list is refreshed first, so
// that it shows what the registry and the folder hold now.
template <typename Step>
static void RefreshingOnError(TVelmora& frame, Step step) {
  try {
    step();
  } catch (...) {
    frame.RefreshEntries();
    throw;
  }
}

void TVelmora::AddEntry() {
  // Only into the location the tree shows selected.
  const TAutoRunItem* node = NodeItem(tvAutoRun.Selected());
  if (CurrentLocation.empty() || !node || !node->AllowsAdd || node->Location != CurrentLocation) return;
  TAutoRunItemDlg dialog;
  if (dialog.ShowModal() != ui::ModalResult::Ok) return;
  const std::string name = dialog.NameText(), path = dialog.PathText();
  if (NodeItem(tvAutoRun.Selected()) != node) return;
  if (IsFolderLocation(CurrentLocation)) {
    // The shortcut is made from the Path text (the Name text when Path is
    // empty), read as a command line the way Windows reads one: what the
    // browse button fills in, and the form every registry row shows.
    const ProgramAndArguments command = SplitCommandLine(path.empty() ? name : path, [](const std::string& file) {
      const DWORD attributes = GetFileAttributesA(file.c_str());
      return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    });
    std::string link;
    CreateShortcut(CurrentLocation, command.program, "", command.arguments, link);
  } else {
    TRegistry registry;
    RefreshingOnError(*this, [&] { OpenForWriting(registry, CurrentLocation); });
    if (registry.ValueExists(name)) throw ValueExists(name);
    registry.WriteStringValue(name, path);
  }
  RefreshEntries();
}

void TVelmora::ChangeEntry() {
  const int row = lvAutoRun.SelectedIndex();
  if (CurrentLocation.empty() || row < 0 || !RowItem(row)) return;
  TAutoRunItemDlg dialog;
  const std::string origin = RowItem(row)->Origin();
  const bool isRegistryValue = RowItem(row)->Kind == ItemKind::RegistryValue;
  dialog.SetNameText(RowItem(row)->Name);
  dialog.SetPathText(RowItem(row)->Command);
  if (dialog.ShowModal() != ui::ModalResult::Ok) return;
  const std::string newName = dialog.NameText(), newPath = dialog.PathText();
  const HTREEITEM node = tvAutoRun.Selected();
  if (!node || !NodeItem(node)) return;
  if (isRegistryValue) {
    // The row selected now: the modal dialog kept the list as it was.
    const int current = lvAutoRun.SelectedIndex();
    if (current < 0 || !RowItem(current)) return;
    const std::string oldName = RowItem(current)->Name;
    TRegistry registry;
    RefreshingOnError(*this, [&] { OpenForWriting(registry, origin); });
    // An expandable string stays one: "%ProgramFiles%\..." must expand.
    const bool expandable = registry.ValueType(oldName) == REG_EXPAND_SZ;
    if (newName != oldName) {
      if (SameName(newName, oldName))
        registry.ChangeValueNameCase(oldName, newName);
      else if (registry.ValueExists(newName))
        throw ValueExists(newName);
      else
        registry.ChangeValueName(oldName, newName);
    }
    if (expandable)
      registry.WriteExpandStringValue(newName, newPath);
    else
      registry.WriteStringValue(newName, newPath);
  }
  RefreshEntries();
}

// The row's kind decides what is deleted, never a look at the disk: a
// registry row's location would be a relative path there.
void TVelmora::DeleteEntry() {
  const int selected = lvAutoRun.SelectedIndex();
  if (selected < 0 || !RowItem(selected)) return;
  const std::string origin = RowItem(selected)->Origin(), name = RowItem(selected)->Name;
  if (RowItem(selected)->Kind == ItemKind::File) {
    const DWORD attributes = GetFileAttributesA(origin.c_str());
    // A subfolder named like a program is listed, but is no entry to delete.
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    // A file that has vanished is gone already: the refresh drops its row.
    const bool failed = !folder && attributes != INVALID_FILE_ATTRIBUTES && !DeleteFileA(origin.c_str()) &&
                        GetLastError() != ERROR_FILE_NOT_FOUND;
    RefreshEntries();
    if (folder) throw EVelmoraError(FormatMessageText("'%s' is a folder", origin));
    if (failed) throw EVelmoraError(FormatMessageText("Failed to delete file '%s'", origin));
    return;
  }
  TRegistry registry;
  RefreshingOnError(*this, [&] { OpenForWriting(registry, origin); });
  const LONG removed = registry.RemoveValueResult(name);
  if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
    RefreshEntries();
    throw ERegistryException(FormatMessageText("Failed to delete value '%s'", name));
  }
  // The neighbour takes the focus and the selection before the row goes,
  // as the list does for a row deleted under the keyboard.
  const int count = lvAutoRun.Count();
  if (selected < count - 1)
    lvAutoRun.SetFocused(selected + 1, true);
  else if (selected > 0)
    lvAutoRun.SetFocused(selected - 1, true);
  lvAutoRun.Delete(selected);
  const int focused = lvAutoRun.FocusedIndex();
  if (focused >= 0) lvAutoRun.SetSelected(focused, true);
  RefreshEntries();
}

void TVelmora::miAddClick() { AddEntry(); }
void TVelmora::miChangeClick() { ChangeEntry(); }
void TVelmora::miDeleteClick() { DeleteEntry(); }

void TVelmora::lvAutoRunDblClick() {
  const int row = lvAutoRun.SelectedIndex();
  const TAutoRunItem* entry = row >= 0 ? RowItem(row) : nullptr;
  if (entry && entry->Kind == ItemKind::RegistryValue) ChangeEntry();
}
