#pragma once
// The words for a scheduled task's logon and startup triggers, as the
// status bar shows them. Pure: no window, no system call.
#include <string>
#include <vector>

struct StartTrigger {
  enum class Kind : unsigned char { Logon, Boot };
  Kind kind = Kind::Logon;
  bool enabled = true;
  std::wstring userId;  // a logon trigger's user; empty: any user
  std::wstring delay;   // an XML duration ("PT30S"), as stored
};

// "At logon of any user", "At logon of <user>", "At startup", each with
// "+30 s delay" when delayed, "(off)" when disabled; joined by "; ".
std::wstring TriggerWords(const std::vector<StartTrigger>& triggers);
// Seconds of an XML duration (PnYnMnDTnHnMnS; years and months as 365
// and 30 days); -1 when it is not one.
long long DurationSeconds(const std::wstring& duration);
// Whether every trigger is off: then the task starts nothing at logon.
bool AllTriggersOff(const std::vector<StartTrigger>& triggers);
