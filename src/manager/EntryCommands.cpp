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
#include "manager/Location.h"
#include "manager/LocationCatalogue.h"
#include "manager/RecordStore.h"
#include "manager/RegFile.h"
#include "manager/StartupSwitches.h"

namespace {

ERegistryException RegistryError(const char* pattern, const std::wstring& name, LONG code) {
  return ERegistryException(FormatMessageText(pattern, ShownName(name)), code);
}

// Not FileIsPresent: its search takes wildcards, and a part of a command
// line such as "C:\a?.exe" must not find "C:\ab.exe".
bool IsExistingFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The steps of one command that changed something, each with the way to
// put it back. A failing step puts back the earlier ones, newest first,
// and its error then names what could not be put back.
class Steps {
 public:
  // `change` returns a Win32 result; on failure the earlier steps are put
  // back and `failure` is thrown with the result's code.
  void Run(const std::function<LONG()>& change, const std::function<LONG()>& putBack, const std::wstring& what,
           const std::function<EVelmoraError(LONG)>& failure) {
    const LONG result = change();
    if (result != ERROR_SUCCESS) Fail(failure(result));
    Done(putBack, what);
  }
  // A step taken elsewhere, and how to put it back.
  void Done(const std::function<LONG()>& putBack, const std::wstring& what) { done_.push_back({putBack, what, false}); }
  // Keeps what the command is about to remove or overwrite, before any
  // change: "Failed to keep a copy of '%s'" stops it. A command that does
  // not act after all discards the record again.
  std::wstring Keep(const EntryRecord& record) {
    std::wstring folder;
    try {
      folder = KeepRecord(record);
    } catch (const EVelmoraError& error) {
      Fail(error);
    }
    done_.push_back({[folder] {
                       DiscardRecord(folder);
                       return LONG(ERROR_SUCCESS);
                     },
                     record.name, true});
    return folder;
  }
  // A record goes only when everything after it was put back: otherwise
  // it holds the only copy of what could not be.
  [[noreturn]] void Fail(const EVelmoraError& error) {
    std::string text = error.what();
    bool allBack = true;
    for (auto step = done_.rbegin(); step != done_.rend(); ++step) {
      if (step->isRecord && !allBack) continue;
      if (step->putBack() == ERROR_SUCCESS) continue;
      allBack = false;
      text += FormatMessageText("; '%s' could not be put back", ShownName(step->what));
    }
    done_.clear();
    throw EVelmoraError(text, error.Code());
  }

 private:
  struct Taken {
    std::function<LONG()> putBack;
    std::wstring what;
    bool isRecord;
  };
  std::vector<Taken> done_;
};

LONG SetValue(const RegistryKey& key, const std::wstring& name, const StoredBytes& value) {
  return key.SetValue(name, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
}

StoredBytes StringValue(const std::wstring& text, DWORD type) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return StoredBytes{true, type, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

// The value stored under `name` now (absent when there is none).
StoredBytes StoredNow(const RegistryKey& key, const std::wstring& name) {
  DWORD type = REG_NONE;
  StoredBytes now;
  const LONG read = key.QueryValue(name, type, now.data);
  if (read == ERROR_FILE_NOT_FOUND) return StoredBytes();
  if (read != ERROR_SUCCESS) throw RegistryError("Failed to get data for '%s'", name, read);
  now.present = true;
  now.type = type;
  return now;
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

LONG Deleted(LONG result) { return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result; }

// An entry's switch as stored now; none where Windows keeps no switch.
StoredBytes SwitchNow(const Location& switchLocation, const std::wstring& name) {
  if (switchLocation.Empty()) return StoredBytes();
  RegistryKey key;
  const LONG opened = OpenLocation(key, switchLocation, KeyAccess::Read);
  if (opened == ERROR_FILE_NOT_FOUND) return StoredBytes();
  if (opened != ERROR_SUCCESS)
    throw ERegistryException(FormatMessageText("Failed to open key '%s'", switchLocation.Text()), opened);
  return StoredNow(key, name);
}

// A whole file's bytes; empty when it cannot be read.
std::vector<std::uint8_t> FileBytes(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

EntryRecord RecordOf(RecordKind kind, const EntryRef& entry) {
  EntryRecord record;
  record.kind = kind;
  record.isFile = entry.kind == EntryKind::File;
  record.location = entry.location.Text();
  record.name = entry.name;
  record.switchLocation = entry.switchLocation.Text();
  return record;
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
  if (!entry.Rules().remove) throw NotHere("deleted", entry.Said());
  const std::wstring record = entry.kind == EntryKind::File ? DeleteFileEntry(entry) : DeleteRegistryEntry(entry);
  if (undo) *undo = UndoStep{UndoStep::Kind::Delete, entry, StoredBytes(), StoredBytes(), {record}};
}

bool SwitchEntry(const EntryRef& entry, bool on, UndoStep* undo) {
  RequireAddressable(entry);
  if (!entry.HasSwitch()) return false;
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
  if (!entry.Rules().change) throw NotHere("changed", entry.Said());
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

namespace {

EVelmoraError ChangedSince(const std::wstring& name) {
  return EVelmoraError(FormatMessageText("'%s' has changed since", ShownName(name)), ERROR_INVALID_DATA);
}

EntryRecord ReadOrThrow(const std::wstring& path) {
  EntryRecord record;
  if (!ReadRecord(path, record))
    throw EVelmoraError(FormatMessageText("Failed to read the copy '%s'", path), ERROR_INVALID_DATA);
  return record;
}

// The record a step kept first: a step without one has nothing to take back.
EntryRecord FirstRecord(const UndoStep& step) {
  if (step.records.empty()) throw ChangedSince(step.entry.Said());
  return ReadOrThrow(step.records.front());
}

// Undo never overwrites a switch another program changed since.
void RequireSwitchAsLeft(const UndoStep& step) {
  if (!(SwitchNow(step.entry.switchLocation, step.entry.name) == step.leftSwitch)) throw ChangedSince(step.entry.Said());
}

EntryRef RefOf(const EntryRecord& record) {
  return EntryRef{record.isFile ? EntryKind::File : EntryKind::RegistryValue, Location::Parse(record.location),
                  record.name, Location::Parse(record.switchLocation), std::wstring(), std::wstring()};
}

// Puts a switch's bytes back under `name`, or removes the one there when
// there were none; the key is made when missing.
void PutSwitchBack(Steps& steps, const Location& location, const std::wstring& name, const StoredBytes& bytes) {
  if (location.Empty()) return;
  RegistryKey key = OpenLocationOrThrow(location, KeyAccess::Create);
  const StoredBytes now = StoredNow(key, name);
  auto shared = std::make_shared<RegistryKey>(std::move(key));
  if (bytes.present)
    steps.Run([=] { return SetValue(*shared, name, bytes); },
              [=] { return now.present ? SetValue(*shared, name, now) : Deleted(shared->DeleteValue(name)); },
              name, [=](LONG code) { return RegistryError("Failed to set data for '%s'", name, code); });
  else if (now.present)
    steps.Run([=] { return Deleted(shared->DeleteValue(name)); }, [=] { return SetValue(*shared, name, now); },
              name, [=](LONG code) { return RegistryError("Failed to delete value '%s'", name, code); });
}

void DiscardAll(const std::vector<std::wstring>& records) {
  for (const std::wstring& record : records) DiscardRecord(record);
}

EntryRef UndoChange(const UndoStep& step) {
  const EntryRecord before = FirstRecord(step);
  const std::wstring &newName = step.entry.name, &oldName = before.name;
  const RegistryKey key = OpenLocationOrThrow(step.entry.location, KeyAccess::Write);
  if (!(StoredNow(key, newName) == step.left)) throw ChangedSince(step.entry.Said());
  RequireSwitchAsLeft(step);
  const bool renamed = newName != oldName, caseOnly = renamed && SameName(newName, oldName);
  if (renamed && !caseOnly && key.ValueExists(oldName))
    throw ERegistryException(FormatMessageText("Value '%s' already exists", oldName), ERROR_ALREADY_EXISTS);
  // The rename left no switch under the old name (it moved, or there was
  // none): one there now is another program's, and undo would write over it.
  if (renamed && !caseOnly && SwitchNow(step.entry.switchLocation, oldName).present) throw ChangedSince(oldName);
  const StoredBytes &old = before.value, &left = step.left;
  Steps steps;
  if (!renamed) {
    steps.Run([&] { return SetValue(key, oldName, old); }, [&] { return SetValue(key, oldName, left); }, oldName,
              [&](LONG code) { return RegistryError("Failed to set data for '%s'", oldName, code); });
  } else {
    steps.Run([&] { return Deleted(key.DeleteValue(newName)); }, [&] { return SetValue(key, newName, left); }, newName,
              [&](LONG code) { return RegistryError("Failed to delete value '%s'", newName, code); });
    steps.Run([&] { return SetValue(key, oldName, old); }, [&] { return Deleted(key.DeleteValue(oldName)); }, oldName,
              [&](LONG code) { return RegistryError("Failed to set data for '%s'", oldName, code); });
  }
  try {
    const Location switches = Location::Parse(before.switchLocation);
    if (renamed && before.switchValue.present) {
      // The switch moved with the rename: it goes back, and a stale one
      // the rename removed returns under the new name.
      StoredBytes stale;
      if (step.records.size() > 1) stale = ReadOrThrow(step.records[1]).switchValue;
      PutSwitchBack(steps, switches, newName, stale);
      PutSwitchBack(steps, switches, oldName, before.switchValue);
    } else if (renamed && step.records.size() > 1) {
      PutSwitchBack(steps, switches, newName, ReadOrThrow(step.records[1]).switchValue);
    }
  } catch (const EVelmoraError& error) {
    steps.Fail(error);
  }
  DiscardAll(step.records);
  return RefOf(before);
}

EntryRef UndoSwitch(const UndoStep& step) {
  const EntryRecord before = FirstRecord(step);
  const SwitchesOfEntries switches(step.entry.switchLocation, {step.entry.name});
  if (!(switches.Of(step.entry.name) == step.left)) throw ChangedSince(step.entry.Said());
  Steps steps;
  PutSwitchBack(steps, step.entry.switchLocation, step.entry.name, before.switchValue);
  DiscardAll(step.records);
  return step.entry;
}

EntryRef UndoAdd(const UndoStep& step) {
  const EntryRef& added = step.entry;
  Steps steps;
  if (added.kind == EntryKind::File) {
    const std::wstring path = added.FilePath();
    if (FileBytes(path) != step.left.data) throw ChangedSince(added.name);
    steps.Run([&] { return DeleteFileW(LongPathForm(path).c_str()) ? LONG(ERROR_SUCCESS) : LONG(GetLastError()); },
              [] { return LONG(ERROR_SUCCESS); }, added.name,
              [&](LONG code) { return RegistryError("Failed to delete file '%s'", path, code); });
  } else {
    const RegistryKey key = OpenLocationOrThrow(added.location, KeyAccess::Write);
    if (!(StoredNow(key, added.name) == step.left)) throw ChangedSince(added.name);
    RequireSwitchAsLeft(step);
    steps.Run([&] { return Deleted(key.DeleteValue(added.name)); },
              [&] { return SetValue(key, added.name, step.left); }, added.name,
              [&](LONG code) { return RegistryError("Failed to delete value '%s'", added.name, code); });
  }
  try {
    // A stale switch the add removed comes back.
    if (!step.records.empty())
      PutSwitchBack(steps, added.switchLocation, added.name, ReadOrThrow(step.records[0]).switchValue);
  } catch (const EVelmoraError& error) {
    steps.Fail(error);
  }
  DiscardAll(step.records);
  return added;
}

}  // namespace

EntryRef RestoreRecord(const std::wstring& path) {
  const EntryRecord record = ReadOrThrow(path);
  const EntryRef entry = RefOf(record);
  RequireAddressable(entry);
  Steps steps;
  if (record.isFile) {
    const std::wstring target = entry.FilePath();
    if (GetFileAttributesW(LongPathForm(target).c_str()) != INVALID_FILE_ATTRIBUTES)
      throw EVelmoraError(FormatMessageText("File '%s' already exists", target), ERROR_FILE_EXISTS);
    const std::wstring kept = LongPathForm(KeptFilePath(path, record.name));
    if (GetFileAttributesW(kept.c_str()) != INVALID_FILE_ATTRIBUTES)
      steps.Run(
          [&] {
            return MoveFileExW(kept.c_str(), LongPathForm(target).c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)
                       ? LONG(ERROR_SUCCESS)
                       : LONG(GetLastError());
          },
          [&] {
            return MoveFileExW(LongPathForm(target).c_str(), kept.c_str(), MOVEFILE_COPY_ALLOWED) ? LONG(ERROR_SUCCESS)
                                                                                                   : LONG(GetLastError());
          },
          target, [&](LONG code) { return RegistryError("Failed to create file '%s'", target, code); });
  } else if (record.value.present) {
    const RegistryKey key = OpenLocationOrThrow(entry.location, KeyAccess::Write);
    if (key.ValueExists(record.name)) {
      // An Active Setup component is named by its title, as its row was.
      const std::wstring title = SubkeyEntryTitle(entry.location, record.name);
      throw ERegistryException(
          FormatMessageText("Value '%s' already exists", ShownName(title.empty() ? record.name : title)),
          ERROR_ALREADY_EXISTS);
    }
    steps.Run([&] { return SetValue(key, record.name, record.value); },
              [&] { return Deleted(key.DeleteValue(record.name)); }, record.name,
              [&](LONG code) { return RegistryError("Failed to set data for '%s'", record.name, code); });
  }
  try {
    if (record.switchValue.present) PutSwitchBack(steps, entry.switchLocation, record.name, record.switchValue);
  } catch (const EVelmoraError& error) {
    steps.Fail(error);
  }
  DiscardRecord(path);
  return entry;
}

EntryRef UndoCommand(const UndoStep& step) {
  RequireAddressable(step.entry);
  switch (step.kind) {
    case UndoStep::Kind::Delete:
      if (step.records.empty()) throw ChangedSince(step.entry.Said());
      RequireSwitchAsLeft(step);
      return RestoreRecord(step.records.front());
    case UndoStep::Kind::Change:
      return UndoChange(step);
    case UndoStep::Kind::Switch:
      return UndoSwitch(step);
    case UndoStep::Kind::Add:
      return UndoAdd(step);
  }
  return step.entry;
}

void ExportEntries(const std::vector<EntryRef>& entries, const std::wstring& path) {
  std::vector<RegFileValue> values;
  for (const EntryRef& entry : entries) {
    RequireExportable(entry);
    if (entry.kind == EntryKind::RegistryValue) {
      RegistryKey key;
      if (OpenLocation(key, entry.location, KeyAccess::Read) == ERROR_SUCCESS) {
        const StoredBytes value = StoredNow(key, entry.name);
        if (value.present) values.push_back({entry.location.Text(), entry.name, value.type, value.data});
      }
    }
    if (!entry.HasSwitch()) continue;
    RegistryKey switches;
    if (OpenLocation(switches, entry.switchLocation, KeyAccess::Read) != ERROR_SUCCESS) continue;
    const StoredBytes switchValue = StoredNow(switches, entry.name);
    if (switchValue.present)
      values.push_back({entry.switchLocation.Text(), entry.name, switchValue.type, switchValue.data});
  }
  const DWORD written = WriteWholeFile(path, RegFileBytes(RegFileText(values)), true);
  if (written != ERROR_SUCCESS)
    throw EVelmoraError(FormatMessageText("Failed to export to '%s'", path), static_cast<long>(written));
}
