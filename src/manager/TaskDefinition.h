#pragma once
// What a scheduled task's definition says about starting programs: its
// logon and startup triggers, its switch and its actions, read from the
// task's XML (the file under the system's Tasks folder, or what the Task
// Scheduler hands out). The words the status bar shows for the triggers
// are pure (TaskWords).
#include <cstdint>
#include <string>
#include <vector>

#include "manager/TaskWords.h"

struct TaskAction {
  enum class Kind : unsigned char { Exec, ComHandler };
  Kind kind = Kind::Exec;
  std::wstring command, arguments;  // Exec, environment variables as stored
  std::wstring classId, data;       // ComHandler
};

struct TaskDefinition {
  bool enabled = true;  // Settings/Enabled
  std::vector<StartTrigger> triggers;  // the logon and startup ones, in order
  bool otherTriggers = false;          // a time, an event, ...
  std::vector<TaskAction> actions;
  std::wstring description;  // RegistrationInfo/Description
};

// Reads a definition from a task file's bytes; false with the reason when
// they are not a task's XML.
bool ParseTaskDefinition(const std::vector<std::uint8_t>& bytes, TaskDefinition& task, std::wstring& reason);
// A task the manager lists: a logon or startup trigger (on or off) and an
// action.
inline bool StartsAtLogonOrBoot(const TaskDefinition& task) {
  return !task.triggers.empty() && !task.actions.empty();
}
// A program's path as a command line names it: quoted when it holds a
// space (and is not quoted already), as Windows quotes it when it starts it.
std::wstring QuotedIfSpaced(const std::wstring& path);
// The command line of the first action: an Exec's command and arguments;
// a ComHandler's class id.
std::wstring FirstActionText(const TaskDefinition& task);

// What the Task Scheduler hands out is text: as a task file holds it
// (UTF-16LE with a byte-order mark), and back.
std::vector<std::uint8_t> TaskFileBytes(const std::wstring& xml);
// The text of a task file: UTF-16 with or without a byte-order mark, or
// UTF-8.
std::wstring TaskXmlText(const std::vector<std::uint8_t>& bytes);
