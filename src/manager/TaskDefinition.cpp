#include "manager/TaskDefinition.h"

#include <initializer_list>

#include "common/Unicode.h"
#include "common/XmlElements.h"

namespace {

// XML's booleans: "true" and "1" (surrounding space allowed).
bool XmlTrue(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L" \t\r\n");
  const size_t last = text.find_last_not_of(L" \t\r\n");
  if (first == std::wstring::npos) return false;
  const std::wstring value = text.substr(first, last - first + 1);
  return value == L"true" || value == L"1";
}

bool Ends(const std::vector<std::wstring>& path, std::initializer_list<const wchar_t*> tail) {
  if (path.size() < tail.size()) return false;
  size_t at = path.size() - tail.size();
  for (const wchar_t* name : tail)
    if (path[at++] != name) return false;
  return true;
}

}  // namespace

bool ParseTaskDefinition(const std::vector<std::uint8_t>& bytes, TaskDefinition& task, std::wstring& reason) {
  task = TaskDefinition();
  bool isTask = false;
  XmlVisitor visitor;
  // Task/Triggers/<kind>, Task/Actions/<kind>: each element opens a
  // trigger or an action that its children then fill.
  visitor.element = [&](const std::vector<std::wstring>& path) {
    if (path.size() == 1) isTask = path[0] == L"Task";
    if (path.size() != 3 || path[0] != L"Task") return;
    if (path[1] == L"Triggers") {
      if (path[2] == L"LogonTrigger" || path[2] == L"BootTrigger") {
        StartTrigger trigger;
        trigger.kind = path[2] == L"BootTrigger" ? StartTrigger::Kind::Boot : StartTrigger::Kind::Logon;
        task.triggers.push_back(trigger);
      } else {
        task.otherTriggers = true;
      }
    } else if (path[1] == L"Actions") {
      TaskAction action;
      if (path[2] == L"Exec") {
        task.actions.push_back(action);
      } else if (path[2] == L"ComHandler") {
        action.kind = TaskAction::Kind::ComHandler;
        task.actions.push_back(action);
      }
    }
  };
  visitor.text = [&](const std::vector<std::wstring>& path, const std::wstring& text) {
    if (path.empty() || path[0] != L"Task") return;
    if (path.size() == 3 && Ends(path, {L"Settings", L"Enabled"})) task.enabled = XmlTrue(text);
    if (path.size() == 3 && Ends(path, {L"RegistrationInfo", L"Description"})) task.description += text;
    if (path.size() == 4 && path[1] == L"Triggers" && (path[2] == L"LogonTrigger" || path[2] == L"BootTrigger") &&
        !task.triggers.empty()) {
      StartTrigger& trigger = task.triggers.back();
      if (path[3] == L"Enabled") trigger.enabled = XmlTrue(text);
      if (path[3] == L"UserId") trigger.userId += text;
      if (path[3] == L"Delay") trigger.delay += text;
    }
    if (path.size() == 4 && path[1] == L"Actions" && !task.actions.empty()) {
      TaskAction& action = task.actions.back();
      if (path[2] == L"Exec" && path[3] == L"Command") action.command += text;
      if (path[2] == L"Exec" && path[3] == L"Arguments") action.arguments += text;
      if (path[2] == L"ComHandler" && path[3] == L"ClassId") action.classId += text;
      if (path[2] == L"ComHandler" && path[3] == L"Data") action.data += text;
    }
  };
  // What was read before the document failed is no definition.
  if (!WalkXml(bytes, visitor, reason)) {
    task = TaskDefinition();
    return false;
  }
  if (!isTask) {
    task = TaskDefinition();
    reason = L"Not a task: the document is not a <Task>";
    return false;
  }
  return true;
}

std::wstring QuotedIfSpaced(const std::wstring& path) {
  return path.find(L' ') != std::wstring::npos && path.front() != L'"' ? L"\"" + path + L"\"" : path;
}

std::wstring FirstActionText(const TaskDefinition& task) {
  if (task.actions.empty()) return std::wstring();
  const TaskAction& action = task.actions.front();
  if (action.kind == TaskAction::Kind::ComHandler) return action.classId;
  std::wstring text = QuotedIfSpaced(action.command);
  if (!action.arguments.empty()) text += L" " + action.arguments;
  return text;
}

std::vector<std::uint8_t> TaskFileBytes(const std::wstring& xml) {
  std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
  for (const wchar_t c : xml) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return bytes;
}

std::wstring TaskXmlText(const std::vector<std::uint8_t>& bytes) {
  const size_t size = bytes.size();
  const bool bom16 = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  const bool bom8 = size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
  if (bom16 || (!bom8 && size >= 2 && bytes[1] == 0)) {
    std::wstring text;
    for (size_t at = bom16 ? 2 : 0; at + 1 < size; at += 2)
      text.push_back(static_cast<wchar_t>(bytes[at] | (bytes[at + 1] << 8)));
    return text;
  }
  return WideFromUtf8(std::string(bytes.begin() + (bom8 ? 3 : 0), bytes.end()));
}
