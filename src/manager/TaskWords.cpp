#include "manager/TaskWords.h"

#include <algorithm>
#include <cwctype>

long long DurationSeconds(const std::wstring& duration) {
  if (duration.size() < 3 || duration[0] != L'P') return -1;
  long long total = 0, number = -1;
  bool inTime = false, any = false;
  for (size_t at = 1; at < duration.size(); ++at) {
    const wchar_t c = duration[at];
    if (c >= L'0' && c <= L'9') {
      if (number > 1'000'000'000'000LL) return -1;
      number = (number < 0 ? 0 : number * 10) + (c - L'0');
      continue;
    }
    if (c == L'T') {
      if (inTime || number >= 0) return -1;
      inTime = true;
      continue;
    }
    if (number < 0) return -1;
    long long unit = 0;
    switch (c) {
      case L'Y': unit = inTime ? 0 : 365LL * 86400; break;
      case L'M': unit = inTime ? 60 : 30LL * 86400; break;
      case L'W': unit = inTime ? 0 : 7LL * 86400; break;
      case L'D': unit = inTime ? 0 : 86400; break;
      case L'H': unit = inTime ? 3600 : 0; break;
      case L'S': unit = inTime ? 1 : 0; break;
      default: return -1;
    }
    if (unit == 0) return -1;
    total += number * unit;
    number = -1;
    any = true;
  }
  return any && number < 0 ? total : -1;
}

namespace {

std::wstring DelayWords(const std::wstring& delay) {
  if (delay.empty()) return std::wstring();
  const long long seconds = DurationSeconds(delay);
  if (seconds < 0) return L" +" + delay + L" delay";
  if (seconds == 0) return std::wstring();
  if (seconds % 3600 == 0) return L" +" + std::to_wstring(seconds / 3600) + L" h delay";
  if (seconds % 60 == 0) return L" +" + std::to_wstring(seconds / 60) + L" min delay";
  return L" +" + std::to_wstring(seconds) + L" s delay";
}

}  // namespace

std::wstring TriggerWords(const std::vector<StartTrigger>& triggers) {
  std::wstring words;
  for (const StartTrigger& trigger : triggers) {
    if (!words.empty()) words += L"; ";
    words += trigger.kind == StartTrigger::Kind::Boot ? L"At startup"
             : trigger.userId.empty()                 ? L"At logon of any user"
                                                      : L"At logon of " + trigger.userId;
    words += DelayWords(trigger.delay);
    if (!trigger.enabled) words += L" (off)";
  }
  return words;
}

bool AllTriggersOff(const std::vector<StartTrigger>& triggers) {
  return !triggers.empty() &&
         std::none_of(triggers.begin(), triggers.end(), [](const StartTrigger& trigger) { return trigger.enabled; });
}
