#include "manager/TaskCommands.h"

#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Names.h"
#include "common/ShellLink.h"
#include "common/TaskService.h"
#include "common/Unicode.h"
#include "manager/CommandSteps.h"
#include "manager/RecordStore.h"
#include "manager/TaskDefinition.h"
#include "manager/TaskFiles.h"

using namespace command_steps;

namespace {

EVelmoraError ServiceError(const char* pattern, const std::wstring& path, HRESULT result) {
  return EVelmoraError(FormatMessageText(pattern, path) + ": " + SystemErrorText(result), result);
}

EVelmoraError NoSuchTask(const std::wstring& path) {
  return EVelmoraError(FormatMessageText("Task '%s' does not exist", path), ERROR_FILE_NOT_FOUND);
}

bool SameTriggers(const std::vector<StartTrigger>& a, const std::vector<StartTrigger>& b) {
  if (a.size() != b.size()) return false;
  for (size_t at = 0; at < a.size(); ++at)
    if (a[at].kind != b[at].kind || a[at].enabled != b[at].enabled || a[at].userId != b[at].userId ||
        a[at].delay != b[at].delay)
      return false;
  return true;
}

bool SameActions(const std::vector<TaskAction>& a, const std::vector<TaskAction>& b) {
  if (a.size() != b.size()) return false;
  for (size_t at = 0; at < a.size(); ++at)
    if (a[at].kind != b[at].kind || a[at].command != b[at].command || a[at].arguments != b[at].arguments ||
        a[at].classId != b[at].classId)
      return false;
  return true;
}

// Whether the registered task holds what the record does: its triggers
// (the logon and startup ones, and whether there are others) and its actions.
bool HoldsWhole(const TaskDefinition& registered, const TaskDefinition& kept) {
  return SameTriggers(registered.triggers, kept.triggers) && registered.otherTriggers == kept.otherTriggers &&
         SameActions(registered.actions, kept.actions);
}

}  // namespace

std::wstring TaskRecordFile(const std::wstring& record, const std::wstring& path) {
  return KeptFilePath(record, TaskNameOf(path) + L".xml");
}

std::vector<std::uint8_t> TaskDefinitionBytes(const std::wstring& path) {
  const TaskFile file = ReadTaskFile(TaskFolder(), path);
  if (file.error == ERROR_SUCCESS) return file.bytes;
  TaskService service;
  std::wstring xml;
  const HRESULT read = service.Xml(path, xml);
  if (FAILED(read)) throw NoSuchTask(path);
  return TaskFileBytes(xml);
}

void DeleteTask(const EntryRef& entry, UndoStep* undo) {
  const std::wstring& path = entry.name;
  const std::vector<std::uint8_t> bytes = TaskDefinitionBytes(path);
  TaskService service;
  const HRESULT connected = service.Connect(5000);
  if (FAILED(connected)) throw ServiceError("Failed to delete task '%s'", path, connected);
  EntryRecord record = RecordOf(RecordKind::Removed, entry);
  record.isFile = true;  // a folder, with the definition in it
  TaskDefinition definition;
  std::wstring reason;
  if (ParseTaskDefinition(bytes, definition, reason)) record.value = StringValue(FirstActionText(definition), REG_SZ);
  Steps steps;
  const std::wstring kept = steps.Keep(record);
  const DWORD written = WriteWholeFile(TaskRecordFile(kept, path), bytes, false);
  if (written != ERROR_SUCCESS)
    steps.Fail(EVelmoraError(FormatMessageText("Failed to keep a copy of '%s'", path), static_cast<long>(written)));
  const HRESULT deleted = service.Delete(path);
  if (FAILED(deleted)) steps.Fail(ServiceError("Failed to delete task '%s'", path, deleted));
  if (undo) *undo = UndoStep{UndoStep::Kind::Delete, entry, StoredBytes(), StoredBytes(), {kept}};
}

namespace {

// Whether the task is on as its definition says (what the list shows):
// the service's own answer may disagree with the stored definition.
bool EnabledAsStored(const std::wstring& path) {
  TaskDefinition definition;
  std::wstring reason;
  if (!ParseTaskDefinition(TaskDefinitionBytes(path), definition, reason))
    throw EVelmoraError(FormatMessageText("Task '%s' cannot be read", path), ERROR_INVALID_DATA);
  return definition.enabled;
}

}  // namespace

bool SwitchTask(const EntryRef& entry, bool on, UndoStep* undo) {
  const std::wstring& path = entry.name;
  if (EnabledAsStored(path) == on) return false;
  TaskService service;
  const HRESULT set = service.SetEnabled(path, on);
  if (FAILED(set)) throw ServiceError("Failed to switch task '%s'", path, set);
  // The service may answer success and keep the state it had.
  if (EnabledAsStored(path) != on)
    throw EVelmoraError(FormatMessageText("Windows did not switch the task '%s'", path), ERROR_INVALID_FUNCTION);
  const StoredBytes left{true, 0, {static_cast<std::uint8_t>(on ? 1 : 0)}};
  if (undo) *undo = UndoStep{UndoStep::Kind::Switch, entry, left, left, {}};
  return true;
}

EntryRef UndoTaskSwitch(const UndoStep& step) {
  const bool leftOn = !step.left.data.empty() && step.left.data[0] == 1;
  if (EnabledAsStored(step.entry.name) != leftOn)
    throw EVelmoraError(FormatMessageText("'%s' has changed since", step.entry.name), ERROR_INVALID_DATA);
  SwitchTask(step.entry, !leftOn, nullptr);
  return step.entry;
}

EntryRef RestoreTask(const std::wstring& recordPath, const EntryRef& task) {
  const std::wstring& path = task.name;
  std::vector<std::uint8_t> bytes;
  TaskDefinition wanted;
  std::wstring reason;
  if (!ReadWholeFile(TaskRecordFile(recordPath, path), bytes) || !ParseTaskDefinition(bytes, wanted, reason))
    throw EVelmoraError(FormatMessageText("Failed to read the copy '%s'", recordPath), ERROR_INVALID_DATA);
  TaskService service;
  std::wstring xml;
  if (SUCCEEDED(service.Xml(path, xml)))
    throw EVelmoraError(FormatMessageText("Task '%s' already exists", path), ERROR_FILE_EXISTS);
  const HRESULT registered = service.Register(path, TaskXmlText(bytes));
  if (FAILED(registered)) throw ServiceError("Failed to register task '%s'", path, registered);
  TaskDefinition stored;
  const HRESULT read = service.Xml(path, xml);
  if (FAILED(read) || !ParseTaskDefinition(TaskFileBytes(xml), stored, reason) || !HoldsWhole(stored, wanted)) {
    // The record stays: it holds the only whole copy.
    service.Delete(path);
    throw EVelmoraError(FormatMessageText("Windows did not take the task '%s' back whole", path),
                        ERROR_INVALID_DATA);
  }
  DiscardRecord(recordPath);
  return task;
}
