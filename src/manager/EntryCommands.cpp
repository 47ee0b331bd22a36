#include "manager/EntryCommands.h"

#include <functional>
#include <memory>
#include <vector>

#include "common/CommandLine.h"
#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Names.h"
#include "common/Registry.h"
#include "common/ShellLink.h"
#include "common/Unicode.h"
#include "manager/CommandSteps.h"
#include "manager/Location.h"
#include "manager/LocationCatalogue.h"
#include "manager/RecordStore.h"
#include "manager/RegFile.h"
#include "manager/StartupSwitches.h"
#include "manager/TaskCommands.h"

using namespace command_steps;

namespace {

// Not a FindFirstFile search: it takes wildcards, and a part of a command
// line such as "C:\a?.exe" must not find "C:\ab.exe".
bool IsExistingFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A command the entry's place does not take (Winlogon's machine values,
// an Active Setup component's name).
EVelmoraError NotHere(const char* done, const std::wstring& name) {
  return EVelmoraError(FormatMessageText("'%s' cannot be ", ShownName(name)) + done + " in this place",
                       ERROR_ACCESS_DENIED);
}

// A place of chosen names takes no other.
void RequireTakenName(const PlaceRules& rules, const std::wstring& name) {
  if (TakesName(rules, name)) return;
  std::wstring names;
  for (size_t at = 0; at < rules.names.size(); ++at)
    names += (at == 0 ? L"" : at + 1 == rules.names.size() ? L" and " : L", ") + (L"'" + rules.names[at] + L"'");
  throw EVelmoraError(FormatMessageText("'%s' is not a name this place takes: it takes only ", ShownName(name)) +
                          Utf8FromWide(names),
                      ERROR_INVALID_NAME);
}

// Keeps the entry (`value`: a registry value's bytes) and its switch, then
// removes the switch first (it can be put back) and the entry.
std::wstring RemoveWithSwitch(const EntryRef& entry, const StoredBytes& value,
                              const std::function<LONG(const std::wstring& recordFolder)>& removeEntry,
                              const char* failedPattern, const std::wstring& subject) {
  const SwitchesOfEntries switches(entry.switchLocation, {entry.name});
  const StoredBytes& stored = switches.Of(entry.name);
  EntryRecord record = RecordOf(RecordKind::Removed, entry);
  record.value = value;
  record.switchValue = stored;
  Steps steps;
  const std::wstring folder = steps.Keep(record);
  if (stored.present)
    steps.Run([&] { return switches.Remove(entry.name); }, [&] { return switches.Write(entry.name, stored); },
              entry.name, [&](LONG code) { return RegistryError("Failed to delete value '%s'", entry.name, code); });
  steps.Run([&] { return removeEntry(folder); }, [] { return LONG(ERROR_SUCCESS); }, entry.name,
            [&](LONG code) { return EVelmoraError(FormatMessageText(failedPattern, ShownName(subject)), code); });
  return folder;
}

std::wstring DeleteFileEntry(const EntryRef& entry) {
  const std::wstring file = LongPathForm(entry.FilePath());
  const DWORD attributes = GetFileAttributesW(file.c_str());
  // A subfolder named like a program is listed, but is no entry to delete.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    throw EVelmoraError(FormatMessageText("'%s' is a folder", entry.FilePath()), ERROR_DIRECTORY);
  // A file gone since the user chose it is not deleted in its stead: its
  // switch stays too.
  if (attributes == INVALID_FILE_ATTRIBUTES)
    throw EVelmoraError(FormatMessageText("File '%s' does not exist", entry.FilePath()), ERROR_FILE_NOT_FOUND);
  // Moving would take a read-only file too; deleting it would not.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    throw EVelmoraError(FormatMessageText("Failed to delete file '%s'", entry.FilePath()), ERROR_ACCESS_DENIED);
  // Deleting moves the file into its record, its bytes and times as they
  // were.
  return RemoveWithSwitch(
      entry, StoredBytes(),
      [&](const std::wstring& folder) {
        const std::wstring kept = LongPathForm(KeptFilePath(folder, entry.name));
        return Deleted(MoveFileExW(file.c_str(), kept.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)
                           ? ERROR_SUCCESS
                           : static_cast<LONG>(GetLastError()));
      },
      "Failed to delete file '%s'", entry.FilePath());
}

std::wstring DeleteRegistryEntry(const EntryRef& entry) {
  const RegistryKey key = OpenLocationOrThrow(entry.location, KeyAccess::Write);
  const StoredBytes value = StoredNow(key, entry.name);
  if (!value.present) throw RegistryError("Value '%s' does not exist", entry.Said(), ERROR_FILE_NOT_FOUND);
  return RemoveWithSwitch(
      entry, value,
      [&](const std::wstring&) { return Deleted(key.DeleteValue(entry.name)); }, "Failed to delete value '%s'",
      entry.name);
}

}  // namespace

void RequireAddressable(const EntryRef& entry) {
  if (!entry.Addressable())
    throw EVelmoraError(FormatMessageText("'%s' has a NUL character in its name, which Windows' functions cannot reach",
                                          ShownName(entry.name)),
                        ERROR_INVALID_NAME);
}

void RequireExportable(const EntryRef& entry) {
  RequireAddressable(entry);
  if (!RegFileCarriesName(entry.name))
    throw EVelmoraError(FormatMessageText("'%s' cannot be exported: a registry editor's file cannot hold a line "
                                          "break in a name",
                                          ShownName(entry.name)),
                        ERROR_INVALID_NAME);
}

void DeleteEntry(const EntryRef& entry, UndoStep* undo) {
  RequireAddressable(entry);
  if (!entry.Rules().Removes(entry.name)) throw NotHere("deleted", entry.Said());
  if (entry.kind == EntryKind::Task) return DeleteTask(entry, undo);
  const std::wstring record = entry.kind == EntryKind::File ? DeleteFileEntry(entry) : DeleteRegistryEntry(entry);
  if (undo) *undo = UndoStep{UndoStep::Kind::Delete, entry, StoredBytes(), StoredBytes(), {record}};
}

bool SwitchEntry(const EntryRef& entry, bool on, UndoStep* undo) {
  RequireAddressable(entry);
  if (!entry.HasSwitch()) return false;
  if (entry.kind == EntryKind::Task) return SwitchTask(entry, on, undo);
  // An entry gone since the user chose it gets no switch in its stead.
  if (entry.kind == EntryKind::File) {
    if (GetFileAttributesW(LongPathForm(entry.FilePath()).c_str()) == INVALID_FILE_ATTRIBUTES)
      throw EVelmoraError(FormatMessageText("File '%s' does not exist", entry.FilePath()), ERROR_FILE_NOT_FOUND);
  } else if (!OpenLocationOrThrow(entry.location, KeyAccess::Read).ValueExists(entry.name)) {
    throw RegistryError("Value '%s' does not exist", entry.Said(), ERROR_FILE_NOT_FOUND);
  }
  EntryRecord record = RecordOf(RecordKind::Switched, entry);
  record.switchValue = SwitchesOfEntries(entry.switchLocation, {entry.name}).Of(entry.name);
  const StoredBytes& now = record.switchValue;
  const bool off = now.present && DecodeSwitch(now.type == REG_BINARY, now.data.data(), now.data.size()) == SwitchState::Off;
  if (off != on) return false;
  Steps steps;
  const std::wstring kept = steps.Keep(record);
  SwitchBytes written{};
  try {
    written = SwitchStartupEntry(entry.switchLocation, entry.name, on);
  } catch (const EVelmoraError& error) {
    steps.Fail(error);
  }
  const StoredBytes left{true, REG_BINARY, std::vector<std::uint8_t>(written.begin(), written.end())};
  if (undo) *undo = UndoStep{UndoStep::Kind::Switch, entry, left, left, {kept}};
  return true;
}

EntryRef AddEntry(const TAutoRunNode& node, const std::wstring& name, const std::wstring& path, UndoStep* undo) {
  EntryRef added{EntryKind::RegistryValue, node.Location, name, node.SwitchLocation, std::wstring(), std::wstring()};
  if (!node.AllowsAdd || !node.Location.rules->add) throw NotHere("added", name);
  RequireTakenName(added.Rules(), name);
  Steps steps;
  std::vector<std::wstring> kept;
  if (node.Location.IsFolder()) {
    // The shortcut is made from the Path text (the Name text when Path is
    // empty), read as a command line the way Windows reads one: what the
    // browse button fills in, and the form every registry row shows.
    const WideProgramAndArguments command = SplitCommandLine(path.empty() ? name : path, IsExistingFile);
    std::wstring link;
    const HRESULT made = CreateShortcut(node.Location.path, command.program, L"", command.arguments, link);
    if (FAILED(made))
      throw EOleError(link.empty() ? SystemErrorText(made) : FormatMessageText("Failed to create shortcut '%s'", link),
                      made);
    added.kind = EntryKind::File;
    added.name = FileNamePart(link);
    steps.Done([link] { return DeleteFileW(LongPathForm(link).c_str()) ? LONG(ERROR_SUCCESS) : LONG(GetLastError()); },
               link);
    try {
      // A switch left under the new file's name belonged to a deleted entry.
      const SwitchesOfEntries switches(node.SwitchLocation, {added.name});
      if (switches.Of(added.name).present) {
        EntryRecord record = RecordOf(RecordKind::Added, added);
        record.switchValue = switches.Of(added.name);
        kept.push_back(steps.Keep(record));
        steps.Run([&] { return switches.Remove(added.name); }, [] { return LONG(ERROR_SUCCESS); }, added.name,
                  [&](LONG code) { return RegistryError("Failed to delete value '%s'", added.name, code); });
      }
    } catch (const EVelmoraError& error) {
      steps.Fail(error);
    }
    if (undo) *undo = UndoStep{UndoStep::Kind::Add, added, StoredBytes{true, 0, FileBytes(link)}, StoredBytes(), kept};
    return added;
  }
  const RegistryKey key = OpenLocationOrThrow(node.Location, KeyAccess::Write);
  if (key.ValueExists(name))
    throw ERegistryException(FormatMessageText("Value '%s' already exists", name), ERROR_ALREADY_EXISTS);
  const SwitchesOfEntries switches(node.SwitchLocation, {name});
  if (switches.Of(name).present) {
    EntryRecord record = RecordOf(RecordKind::Added, added);
    record.switchValue = switches.Of(name);
    kept.push_back(steps.Keep(record));
  }
  const StoredBytes written = StringValue(path, REG_SZ);
  steps.Run([&] { return SetValue(key, name, written); },
            [&] { return Deleted(key.DeleteValue(name)); }, name,
            [&](LONG code) { return RegistryError("Failed to set data for '%s'", name, code); });
  if (switches.Of(name).present)
    steps.Run([&] { return switches.Remove(name); }, [] { return LONG(ERROR_SUCCESS); }, name,
              [&](LONG code) { return RegistryError("Failed to delete value '%s'", name, code); });
  if (undo) *undo = UndoStep{UndoStep::Kind::Add, added, written, SwitchNow(added.switchLocation, name), kept};
  return added;
}

namespace {

// A change of name, value or both; `newValue` makes the value written
// from the one stored now.
EntryRef ChangeWith(const EntryRef& entry, const std::wstring& newName,
                    const std::function<StoredBytes(const StoredBytes& old)>& newValue, UndoStep* undo) {
  RequireAddressable(entry);
  if (entry.kind != EntryKind::RegistryValue) return entry;
  const std::wstring& oldName = entry.name;
  const RegistryKey key = OpenLocationOrThrow(entry.location, KeyAccess::Write);
  const StoredBytes old = StoredNow(key, oldName);
  if (!old.present) throw RegistryError("Value '%s' does not exist", entry.Said(), ERROR_FILE_NOT_FOUND);
  const bool renamed = newName != oldName, caseOnly = renamed && SameName(newName, oldName);
  if (renamed && !caseOnly && key.ValueExists(newName))
    throw ERegistryException(FormatMessageText("Value '%s' already exists", newName), ERROR_ALREADY_EXISTS);
  // Read, and opened for the move, before anything changes.
  const SwitchesOfEntries switches(renamed ? entry.switchLocation : Location(), {oldName, newName});
  const StoredBytes changed = newValue(old);
  const auto setFailed = [](const std::wstring& name) {
    return [name](LONG code) { return RegistryError("Failed to set data for '%s'", name, code); };
  };
  const auto deleteFailed = [](const std::wstring& name) {
    return [name](LONG code) { return RegistryError("Failed to delete value '%s'", name, code); };
  };
  const auto nothing = [] { return LONG(ERROR_SUCCESS); };
  Steps steps;
  // The entry as it was, with the switch that moves; a stale switch under
  // the new name, which goes, in a record of its own.
  EntryRecord before = RecordOf(RecordKind::Replaced, entry);
  before.value = old;
  if (renamed) before.switchValue = switches.Of(oldName);
  std::vector<std::wstring> kept = {steps.Keep(before)};
  if (renamed && !caseOnly && switches.Of(newName).present) {
    EntryRef stale = entry;
    stale.name = newName;
    EntryRecord staleRecord = RecordOf(RecordKind::Switched, stale);
    staleRecord.switchValue = switches.Of(newName);
    kept.push_back(steps.Keep(staleRecord));
  }
  if (!renamed) {
    steps.Run([&] { return SetValue(key, oldName, changed); }, nothing, oldName, setFailed(oldName));
  } else if (!caseOnly) {
    steps.Run([&] { return SetValue(key, newName, changed); }, [&] { return Deleted(key.DeleteValue(newName)); },
              newName, setFailed(newName));
    steps.Run([&] { return Deleted(key.DeleteValue(oldName)); }, [&] { return SetValue(key, oldName, old); }, oldName,
              deleteFailed(oldName));
  } else {
    // The registry sees one value under both spellings: it must go before
    // it can come back in the new case. A write of its own bytes first
    // proves the key takes writes, so that the put-back will too.
    steps.Run([&] { return SetValue(key, oldName, old); }, nothing, oldName, setFailed(oldName));
    steps.Run([&] { return Deleted(key.DeleteValue(oldName)); }, [&] { return SetValue(key, oldName, old); }, oldName,
              deleteFailed(oldName));
    steps.Run([&] { return SetValue(key, newName, changed); }, [&] { return Deleted(key.DeleteValue(newName)); },
              newName, setFailed(newName));
  }
  // The entry keeps its switch under its new name; one left under the new
  // name belonged to a deleted entry.
  if (renamed) {
    const StoredBytes& moving = switches.Of(oldName);
    const StoredBytes stale = caseOnly ? StoredBytes() : switches.Of(newName);
    if (stale.present)
      steps.Run([&] { return switches.Remove(newName); }, [&] { return switches.Write(newName, stale); }, newName,
                deleteFailed(newName));
    if (moving.present) {
      steps.Run([&] { return switches.Remove(oldName); }, [&] { return switches.Write(oldName, moving); }, oldName,
                deleteFailed(oldName));
      steps.Run([&] { return switches.Write(newName, moving); }, [&] { return switches.Remove(newName); }, newName,
                setFailed(newName));
    }
  }
  EntryRef now = entry;
  now.name = newName;
  if (undo) *undo = UndoStep{UndoStep::Kind::Change, now, changed, SwitchNow(entry.switchLocation, newName), kept};
  return now;
}

}  // namespace

EntryRef ChangeEntry(const EntryRef& entry, const std::wstring& newName, const std::wstring& newPath,
                     UndoStep* undo) {
  if (!entry.Rules().Changes(entry.name)) throw NotHere("changed", entry.Said());
  if (newName != entry.name) {
    if (!entry.Rules().rename) throw NotHere("renamed", entry.Said());
    RequireTakenName(entry.Rules(), newName);
  }
  // An expandable string stays one: "%ProgramFiles%\..." must expand.
  return ChangeWith(
      entry, newName,
      [&](const StoredBytes& old) { return StringValue(newPath, old.type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ); },
      undo);
}

EntryRef RenameEntry(const EntryRef& entry, const std::wstring& newName, UndoStep* undo) {
  if (!entry.Rules().rename) throw NotHere("renamed", entry.Said());
  RequireTakenName(entry.Rules(), newName);
  return ChangeWith(entry, newName, [](const StoredBytes& old) { return old; }, undo);
}

EntryRef PutWindowsDefault(const EntryRef& entry, UndoStep* undo) {
  const std::wstring text = WindowsDefaultOf(entry.name, WinlogonSystemFolder());
  if (!entry.Rules().windowsDefaults || text.empty() || entry.kind != EntryKind::RegistryValue)
    throw EVelmoraError(FormatMessageText("'%s' has no default of Windows' to put back", ShownName(entry.name)),
                        ERROR_INVALID_FUNCTION);
  return ChangeWith(entry, entry.name, [&](const StoredBytes&) { return StringValue(text, REG_SZ); }, undo);
}

