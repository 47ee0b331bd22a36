#pragma once
// The commands on a scheduled task, through the Task Scheduler: its own
// switch, read back after it is set; Delete, the task's definition kept
// first as a file the Task Scheduler imports (the task file's bytes as
// stored); Restore, registered again and read back. Windows that stores
// less than it was given (a task without its triggers or its action) is
// told, and the partial task goes again.
#include <cstdint>
#include <string>
#include <vector>

#include "manager/EntryCommands.h"
#include "manager/RecordIndex.h"

// The file a task's record keeps its definition in, in the record's
// folder ("<record>\file\<name>.xml").
std::wstring TaskRecordFile(const std::wstring& record, const std::wstring& path);
void DeleteTask(const EntryRef& entry, UndoStep* undo);
// False when the task is so already. "Windows did not switch the task
// '%s'" when the Task Scheduler answered and kept the state it had.
bool SwitchTask(const EntryRef& entry, bool on, UndoStep* undo);
EntryRef UndoTaskSwitch(const UndoStep& step);
// Registers the task a record keeps (never over a task of that path);
// the record goes once the task is back whole.
EntryRef RestoreTask(const std::wstring& record, const EntryRef& task);
// The task's definition as stored (its file's bytes, else the service's
// text), for an export.
std::vector<std::uint8_t> TaskDefinitionBytes(const std::wstring& path);
