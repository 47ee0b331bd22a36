// The words for a task's logon and startup triggers, and the durations
// their delays are written in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/TaskWords.h"

TEST(TaskWords, DurationsAndTheirBadForms) {
  const struct {
    const wchar_t* text;
    long long seconds;
  } cases[] = {
      {L"PT30S", 30},   {L"PT1M", 60},     {L"PT1H30M", 5400}, {L"P1D", 86400}, {L"P1DT1S", 86401},
      {L"P1W", 604800}, {L"PT0S", 0},      {L"", -1},          {L"30S", -1},    {L"PT", -1},
      {L"PTS", -1},     {L"PT30", -1},     {L"P1H", -1},       {L"PT1D", -1},   {L"PTT1S", -1},
      {L"PT1X", -1},    {L"PT99999999999999999S", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(DurationSeconds(c.text), c.seconds) << std::wstring(c.text).size();
}

TEST(TaskWords, EachTriggerInWords) {
  using Kind = StartTrigger::Kind;
  const struct {
    std::vector<StartTrigger> triggers;
    const wchar_t* words;
    bool allOff;
  } cases[] = {
      {{{Kind::Logon, true, L"", L""}}, L"At logon of any user", false},
      {{{Kind::Logon, true, L"PC\\Ann\u00e9", L"PT30S"}}, L"At logon of PC\\Ann\u00e9 +30 s delay", false},
      {{{Kind::Boot, false, L"", L"PT2M"}}, L"At startup +2 min delay (off)", true},
      {{{Kind::Boot, true, L"", L"PT1H"}, {Kind::Logon, false, L"", L"P"}},
       L"At startup +1 h delay; At logon of any user +P delay (off)", false},
      {{}, L"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TriggerWords(c.triggers), c.words);
    EXPECT_EQ(AllTriggersOff(c.triggers), c.allOff);
  }
}
