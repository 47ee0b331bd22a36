// The editing commands and the handlers that run them. Each acts at once
// on the registry or the Startup folder and then refreshes the list.
#include "common/CommandLine.h"
#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Registry.h"
#include "common/ShellLink.h"
#include "manager/Location.h"
#include "manager/aritemdlg.h"
#include "manager/velframe.h"

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                        static_cast<int>(b.size())) == CSTR_EQUAL;
}

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
      if (SameIgnoringCase(newName, oldName))
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

void TVelmora::DeleteEntry() {
  const int selected = lvAutoRun.SelectedIndex();
  if (selected < 0 || !RowItem(selected)) return;
  const std::string origin = RowItem(selected)->Origin(), name = RowItem(selected)->Name;
  if (FileIsPresent(origin)) {
    const bool deleted = DeleteFileA(origin.c_str()) != FALSE;
    RefreshEntries();
    if (!deleted) throw EVelmoraError(FormatMessageText("Failed to delete file '%s'", origin));
    return;
  }
  if (IsFolderLocation(CurrentLocation)) return;
  TRegistry registry;
  RefreshingOnError(*this, [&] { OpenForWriting(registry, origin); });
  registry.RemoveValue(name);
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
