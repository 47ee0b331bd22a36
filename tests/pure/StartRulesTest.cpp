// What Windows will do with an entry at logon: the startup switch's bytes
// and the readings of a command line that decide "missing".
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/ProgramPresence.h"
#include "manager/SwitchFormat.h"

namespace {

struct SwitchCase {
  bool binary;
  std::vector<std::uint8_t> bytes;
  SwitchState expected;
};

TEST(SwitchFormat, DecodesEvenOnOddOffAndAnythingElseUnknown) {
  auto twelve = [](std::uint8_t first) {
    std::vector<std::uint8_t> bytes(12, 0);
    bytes[0] = first;
    return bytes;
  };
  const SwitchCase cases[] = {
      {true, twelve(0x02), SwitchState::On},       {true, twelve(0x06), SwitchState::On},
      {true, twelve(0x00), SwitchState::On},       {true, twelve(0x03), SwitchState::Off},
      {true, twelve(0x07), SwitchState::Off},      {true, twelve(0xFF), SwitchState::Off},
      {true, {0x03, 0, 0, 0}, SwitchState::Unknown},  // shorter
      {true, std::vector<std::uint8_t>(13, 0x03), SwitchState::Unknown},
      {true, {}, SwitchState::Unknown},
      {false, twelve(0x03), SwitchState::Unknown},  // another type
  };
  for (const SwitchCase& c : cases)
    EXPECT_EQ(DecodeSwitch(c.binary, c.bytes.data(), c.bytes.size()), c.expected)
        << c.bytes.size() << " bytes, first " << (c.bytes.empty() ? -1 : c.bytes[0]);
}

TEST(SwitchFormat, WritesWindowsBytes) {
  const SwitchBytes on = SwitchOnBytes();
  EXPECT_EQ(on, (SwitchBytes{0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  const SwitchBytes off = SwitchOffBytes(0x01D2C3B4A5968778ULL);
  EXPECT_EQ(off, (SwitchBytes{0x03, 0, 0, 0, 0x78, 0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0x01}));
  EXPECT_EQ(DecodeSwitch(true, off.data(), off.size()), SwitchState::Off);
  EXPECT_EQ(DecodeSwitch(true, on.data(), on.size()), SwitchState::On);
}

struct PresenceCase {
  std::wstring commandLine;
  ProgramPresence expected;
  const char* why;
};

// A file system of a few files and folders, and a search path with one.
ProgramProbe FakeDisk(std::vector<std::wstring>* probed = nullptr) {
  static const std::set<std::wstring> files = {
      L"C:\\Program Files\\App\\app.exe", L"C:\\Tools\\tool.exe",         L"C:\\Tools\\lib.dll",
      L"C:\\My Tools\\run.exe",           L"C:\\Tools\\has space.dll", L"C:\\Windows\\System32\\RUNDLL32.EXE"};
  static const std::set<std::wstring> folders = {L"C:\\Tools\\Folder", L"C:\\Program Files", L"C:\\Program"};
  ProgramProbe probe;
  probe.kindOf = [probed](const std::wstring& path) {
    if (probed) probed->push_back(path);
    return files.count(path) ? PathKind::File : folders.count(path) ? PathKind::Folder : PathKind::None;
  };
  probe.foundByName = [](const std::wstring& name, std::wstring& where) {
    if (name != L"known.exe") return false;
    where = L"C:\\Windows\\known.exe";
    return true;
  };
  return probe;
}

TEST(ProgramPresence, ReadsACommandLineAsWindowsDoes) {
  using P = ProgramPresence;
  const PresenceCase cases[] = {
      {L"\"C:\\Program Files\\App\\app.exe\" /min", P::Found, "quoted"},
      {L"\"C:\\Program Files\\App\\gone.exe\" /min", P::Missing, "quoted, gone"},
      {L"\"C:\\Program Files\\App\\app.exe", P::Found, "no closing quote"},
      {L"C:\\Program Files\\App\\app.exe /min", P::Found, "unquoted, a space in the folder"},
      {L"C:\\Program Files\\App\\app /min", P::Found, "\".exe\" added"},
      {L"\"C:\\Program Files\\App\\app\"", P::Found, "quoted, \".exe\" added"},
      {L"C:\\My Tools\\run.exe", P::Found, "a longer reading after a missing shorter one"},
      {L"C:\\Tools\\tool.exe C:\\gone.exe", P::Found, "the shortest reading"},
      {L"  C:\\Tools\\tool.exe  ", P::Found, "spaces around"},
      {L"C:\\Tools\\Folder", P::Found, "a folder as the whole line"},
      {L"\"C:\\Tools\\Folder\"", P::Found, "a quoted folder as the whole line"},
      {L"C:\\Program Files (x86)\\Nope\\nope.exe", P::Missing, "a folder as a partial reading is passed over"},
      {L"C:\\Tools\\Folder -x", P::Missing, "a folder with arguments starts nothing"},
      {L"\"C:\\Tools\\Folder\" -x", P::Missing, "a quoted folder with arguments starts nothing"},
      {L"C:\\Tools\\tool.exe\t/min", P::Found, "a tab before the arguments"},
      {L"\tC:\\Tools\\tool.exe\t", P::Found, "tabs around"},
      {L"C:\\Tools\\gone.exe -x", P::Missing, "every reading gone"},
      {L"\\\\server\\share\\gone.exe", P::Missing, "a share path is a full path"},
      {L"known.exe -x", P::Found, "a bare name found by the search"},
      {L"known", P::Found, "a bare name with \".exe\" added"},
      {L"unknown.exe", P::Unknown, "a bare name not found is no alarm"},
      {L"unknown.exe C:\\Tools\\tool.exe", P::Unknown, "unknown beats missing"},
      {L"bin\\app.exe", P::Unknown, "relative to a folder we cannot know"},
      {L"C:app.exe", P::Unknown, "relative to a drive's current folder"},
      {L"%UNSET%\\app.exe", P::Unknown, "a variable left unexpanded"},
      {L"", P::Unknown, "empty"},
      {L"rundll32.exe C:\\Tools\\lib.dll,Entry", P::Found, "rundll32: the library"},
      {L"rundll32 C:\\Tools\\lib,Entry x", P::Found, "rundll32: \".dll\" added"},
      {L"C:\\Windows\\System32\\RUNDLL32.EXE \"C:\\Tools\\has space.dll\",Entry", P::Found, "rundll32: quoted"},
      {L"C:\\Tools\\has space.dll,Entry", P::Missing, "no rundll32: the library is no program"},
      {L"rundll32.exe C:\\Tools\\has space.dll,Entry", P::Found, "rundll32: unquoted with a space"},
      {L"rundll32.exe C:\\Tools\\gone.dll,Entry", P::Missing, "rundll32: the library is gone"},
      {L"rundll32.exe shell32.dll,Control_RunDLL", P::Unknown, "rundll32: a bare library"},
  };
  for (const PresenceCase& c : cases) EXPECT_EQ(PresenceOfCommand(c.commandLine, FakeDisk()), c.expected) << c.why;
}

// The file whose version resource names the entry's publisher: the one
// Windows starts, or rundll32's library; nothing when it is not found.
TEST(ProgramPresence, NamesTheFileItFound) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"\"C:\\Program Files\\App\\app\" /min", L"C:\\Program Files\\App\\app.exe"},
      {L"C:\\Program Files\\App\\app.exe /min", L"C:\\Program Files\\App\\app.exe"},
      {L"C:\\Tools\\Folder", L"C:\\Tools\\Folder"},
      {L"known -x", L"C:\\Windows\\known.exe"},
      {L"rundll32 C:\\Tools\\lib,Entry x", L"C:\\Tools\\lib.dll"},
      {L"C:\\Windows\\System32\\RUNDLL32.EXE \"C:\\Tools\\has space.dll\",Entry", L"C:\\Tools\\has space.dll"},
      {L"rundll32.exe C:\\Tools\\gone.dll,Entry", L""},
      {L"unknown.exe C:\\Tools\\tool.exe", L""},
      {L"C:\\Tools\\gone.exe", L""},
  };
  for (const auto& c : cases) {
    std::wstring program = L"stale";
    PresenceOfCommand(c.first, FakeDisk(), &program);
    EXPECT_EQ(program, c.second) << std::string(c.first.begin(), c.first.end());
  }
  std::wstring target;
  EXPECT_EQ(PresenceOfPath(L"C:\\Tools\\tool", FakeDisk(), &target), ProgramPresence::Found);
  EXPECT_EQ(target, L"C:\\Tools\\tool.exe");
}

TEST(ProgramPresence, StopsAtTheFirstReadingFound) {
  std::vector<std::wstring> probed;
  EXPECT_EQ(PresenceOfCommand(L"C:\\Tools\\tool.exe a b c", FakeDisk(&probed)), ProgramPresence::Found);
  EXPECT_EQ(probed, (std::vector<std::wstring>{L"C:\\Tools\\tool.exe"}));
}

TEST(ProgramPresence, ExpandsKnownVariablesAndLeavesTheRest) {
  const auto lookup = [](const std::wstring& name, std::wstring& value) {
    if (name != L"ProgramFiles") return false;
    value = L"C:\\Program Files";
    return true;
  };
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"%ProgramFiles%\\App\\app.exe", L"C:\\Program Files\\App\\app.exe"},
      {L"%UNSET%\\x %ProgramFiles%", L"%UNSET%\\x C:\\Program Files"},
      {L"50% of %ProgramFiles%", L"50% of C:\\Program Files"},
      {L"%%ProgramFiles%", L"%C:\\Program Files"},
      {L"100%", L"100%"},
      {L"%", L"%"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandVariables(c.first, lookup), c.second);
}

}  // namespace
