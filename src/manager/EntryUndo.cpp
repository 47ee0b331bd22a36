#include "manager/EntryCommands.h"

#include <memory>
#include <vector>

#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Names.h"
#include "common/Registry.h"
#include "manager/CommandSteps.h"
#include "manager/Location.h"
#include "manager/LocationCatalogue.h"
#include "manager/RecordStore.h"
#include "manager/RegFile.h"
#include "manager/StartupSwitches.h"
#include "manager/TaskCommands.h"

using namespace command_steps;

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
  const Location location = Location::Parse(record.location);
  const EntryKind kind = location.IsTasks() ? EntryKind::Task : record.isFile ? EntryKind::File : EntryKind::RegistryValue;
  return EntryRef{kind, location, record.name, Location::Parse(record.switchLocation), std::wstring(), std::wstring()};
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
  if (entry.kind == EntryKind::Task) return RestoreTask(path, entry);
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
      return step.entry.kind == EntryKind::Task ? UndoTaskSwitch(step) : UndoSwitch(step);
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

void ExportSavedValue(const Location& key, const std::wstring& name, const std::wstring& command,
                      const std::wstring& path) {
  const std::wstring text = command + L'\0';
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::uint32_t type = command.find(L'%') != std::wstring::npos ? REG_EXPAND_SZ : REG_SZ;
  const RegFileValue value{key.Text(), name, type, std::vector<std::uint8_t>(bytes, bytes + text.size() * sizeof(wchar_t))};
  const DWORD written = WriteWholeFile(path, RegFileBytes(RegFileText({value})), true);
  if (written != ERROR_SUCCESS)
    throw EVelmoraError(FormatMessageText("Failed to export to '%s'", path), static_cast<long>(written));
}
