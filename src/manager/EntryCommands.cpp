#include "manager/EntryCommands.h"

#include <functional>
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
  void Done(const std::function<LONG()>& putBack, const std::wstring& what) { done_.push_back({putBack, what}); }
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
    Done(
        [folder] {
          DiscardRecord(folder);
          return LONG(ERROR_SUCCESS);
        },
        record.name);
    return folder;
  }
  [[noreturn]] void Fail(const EVelmoraError& error) {
    std::string text = error.what();
    for (auto step = done_.rbegin(); step != done_.rend(); ++step)
      if (step->putBack() != ERROR_SUCCESS)
        text += FormatMessageText("; '%s' could not be put back", ShownName(step->what));
    done_.clear();
    throw EVelmoraError(text, error.Code());
  }

 private:
  struct Taken {
    std::function<LONG()> putBack;
    std::wstring what;
  };
  std::vector<Taken> done_;
};

LONG SetValue(const RegistryKey& key, const std::wstring& name, const StoredValue& value) {
  return key.SetValue(name, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
}

StoredValue StringValue(const std::wstring& text, DWORD type) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return StoredValue{type, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

LONG Deleted(LONG result) { return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result; }

StoredBytes BytesOf(const std::optional<StoredValue>& value) {
  if (!value) return StoredBytes();
  return StoredBytes{true, value->type, value->data};
}

EntryRecord RecordOf(RecordKind kind, const EntryRef& entry) {
  EntryRecord record;
  record.kind = kind;
  record.isFile = entry.kind == EntryKind::File;
  record.location = entry.location;
  record.name = entry.name;
  record.switchLocation = entry.switchLocation;
  return record;
}

// Keeps the entry (`value`: a registry value's bytes) and its switch, then
// removes the switch first (it can be put back) and the entry.
void RemoveWithSwitch(const EntryRef& entry, const std::optional<StoredValue>& value,
                      const std::function<LONG(const std::wstring& recordFolder)>& removeEntry,
                      const char* failedPattern, const std::wstring& subject) {
  const SwitchesOfEntries switches(entry.switchLocation, {entry.name});
  const std::optional<StoredValue>& stored = switches.Of(entry.name);
  EntryRecord record = RecordOf(RecordKind::Removed, entry);
  record.value = BytesOf(value);
  record.switchValue = BytesOf(stored);
  Steps steps;
  const std::wstring folder = steps.Keep(record);
  if (stored)
    steps.Run([&] { return switches.Remove(entry.name); }, [&] { return switches.Write(entry.name, *stored); },
              entry.name, [&](LONG code) { return RegistryError("Failed to delete value '%s'", entry.name, code); });
  steps.Run([&] { return removeEntry(folder); }, [] { return LONG(ERROR_SUCCESS); }, entry.name,
            [&](LONG code) { return EVelmoraError(FormatMessageText(failedPattern, ShownName(subject)), code); });
}

void DeleteFileEntry(const EntryRef& entry) {
  const std::wstring file = LongPathForm(entry.FilePath());
  const DWORD attributes = GetFileAttributesW(file.c_str());
  // A subfolder named like a program is listed, but is no entry to delete.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    throw EVelmoraError(FormatMessageText("'%s' is a folder", entry.FilePath()), ERROR_DIRECTORY);
  // Moving would take a read-only file too; deleting it would not.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    throw EVelmoraError(FormatMessageText("Failed to delete file '%s'", entry.FilePath()), ERROR_ACCESS_DENIED);
  // Deleting moves the file into its record, its bytes and times as they
  // were. A file that has vanished is gone already: only its switch is left.
  RemoveWithSwitch(
      entry, std::nullopt,
      [&](const std::wstring& folder) {
        const std::wstring kept = LongPathForm(KeptFilePath(folder, entry.name));
        return Deleted(MoveFileExW(file.c_str(), kept.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)
                           ? ERROR_SUCCESS
                           : static_cast<LONG>(GetLastError()));
      },
      "Failed to delete file '%s'", entry.FilePath());
}

void DeleteRegistryEntry(const EntryRef& entry) {
  const RegistryKey key = OpenRegistryLocationOrThrow(entry.location, KeyAccess::Write);
  StoredValue value;
  const LONG read = key.QueryValue(entry.name, value.type, value.data);
  if (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND)
    throw RegistryError("Failed to get data for '%s'", entry.name, read);
  RemoveWithSwitch(
      entry, read == ERROR_SUCCESS ? std::optional<StoredValue>(value) : std::nullopt,
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

void DeleteEntry(const EntryRef& entry) {
  RequireAddressable(entry);
  if (entry.kind == EntryKind::File)
    DeleteFileEntry(entry);
  else
    DeleteRegistryEntry(entry);
}

void SwitchEntry(const EntryRef& entry, bool on) {
  RequireAddressable(entry);
  if (!entry.HasSwitch()) return;
  EntryRecord record = RecordOf(RecordKind::Switched, entry);
  record.switchValue = BytesOf(SwitchesOfEntries(entry.switchLocation, {entry.name}).Of(entry.name));
  Steps steps;
  steps.Keep(record);
  try {
    SwitchStartupEntry(entry.switchLocation, entry.name, on);
  } catch (const EVelmoraError& error) {
    steps.Fail(error);
  }
}

EntryRef AddEntry(const TAutoRunNode& node, const std::wstring& name, const std::wstring& path) {
  EntryRef added{EntryKind::RegistryValue, node.Location, name, node.SwitchLocation};
  Steps steps;
  if (IsFolderLocation(node.Location)) {
    // The shortcut is made from the Path text (the Name text when Path is
    // empty), read as a command line the way Windows reads one: what the
    // browse button fills in, and the form every registry row shows.
    const WideProgramAndArguments command = SplitCommandLine(path.empty() ? name : path, IsExistingFile);
    std::wstring link;
    const HRESULT made = CreateShortcut(node.Location, command.program, L"", command.arguments, link);
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
      if (switches.Of(added.name)) {
        EntryRecord record = RecordOf(RecordKind::Added, added);
        record.switchValue = BytesOf(switches.Of(added.name));
        steps.Keep(record);
      }
      if (switches.Of(added.name))
        steps.Run([&] { return switches.Remove(added.name); }, [] { return LONG(ERROR_SUCCESS); }, added.name,
                  [&](LONG code) { return RegistryError("Failed to delete value '%s'", added.name, code); });
    } catch (const EVelmoraError& error) {
      steps.Fail(error);
    }
    return added;
  }
  const RegistryKey key = OpenRegistryLocationOrThrow(node.Location, KeyAccess::Write);
  if (key.ValueExists(name))
    throw ERegistryException(FormatMessageText("Value '%s' already exists", name), ERROR_ALREADY_EXISTS);
  const SwitchesOfEntries switches(node.SwitchLocation, {name});
  if (switches.Of(name)) {
    EntryRecord record = RecordOf(RecordKind::Added, added);
    record.switchValue = BytesOf(switches.Of(name));
    steps.Keep(record);
  }
  steps.Run([&] { return SetValue(key, name, StringValue(path, REG_SZ)); },
            [&] { return Deleted(key.DeleteValue(name)); }, name,
            [&](LONG code) { return RegistryError("Failed to set data for '%s'", name, code); });
  if (switches.Of(name))
    steps.Run([&] { return switches.Remove(name); }, [] { return LONG(ERROR_SUCCESS); }, name,
              [&](LONG code) { return RegistryError("Failed to delete value '%s'", name, code); });
  return added;
}

EntryRef ChangeEntry(const EntryRef& entry, const std::wstring& newName, const std::wstring& newPath) {
  RequireAddressable(entry);
  if (entry.kind != EntryKind::RegistryValue) return entry;
  const std::wstring& oldName = entry.name;
  const RegistryKey key = OpenRegistryLocationOrThrow(entry.location, KeyAccess::Write);
  StoredValue old;
  const LONG read = key.QueryValue(oldName, old.type, old.data);
  if (read == ERROR_FILE_NOT_FOUND) throw RegistryError("Value '%s' does not exist", oldName, read);
  if (read != ERROR_SUCCESS) throw RegistryError("Failed to get data for '%s'", oldName, read);
  const bool renamed = newName != oldName, caseOnly = renamed && SameName(newName, oldName);
  if (renamed && !caseOnly && key.ValueExists(newName))
    throw ERegistryException(FormatMessageText("Value '%s' already exists", newName), ERROR_ALREADY_EXISTS);
  // Read, and opened for the move, before anything changes.
  const SwitchesOfEntries switches(renamed ? entry.switchLocation : std::wstring(), {oldName, newName});
  // An expandable string stays one: "%ProgramFiles%\..." must expand.
  const StoredValue changed = StringValue(newPath, old.type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ);
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
  before.value = BytesOf(old);
  if (renamed) before.switchValue = BytesOf(switches.Of(oldName));
  steps.Keep(before);
  if (renamed && !caseOnly && switches.Of(newName)) {
    EntryRef stale = entry;
    stale.name = newName;
    EntryRecord staleRecord = RecordOf(RecordKind::Switched, stale);
    staleRecord.switchValue = BytesOf(switches.Of(newName));
    steps.Keep(staleRecord);
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
    const std::optional<StoredValue>& moving = switches.Of(oldName);
    const std::optional<StoredValue>& stale = caseOnly ? std::nullopt : switches.Of(newName);
    if (stale)
      steps.Run([&] { return switches.Remove(newName); }, [&] { return switches.Write(newName, *stale); }, newName,
                deleteFailed(newName));
    if (moving) {
      steps.Run([&] { return switches.Remove(oldName); }, [&] { return switches.Write(oldName, *moving); }, oldName,
                deleteFailed(oldName));
      steps.Run([&] { return switches.Write(newName, *moving); }, [&] { return switches.Remove(newName); }, newName,
                setFailed(newName));
    }
  }
  EntryRef now = entry;
  now.name = newName;
  return now;
}
