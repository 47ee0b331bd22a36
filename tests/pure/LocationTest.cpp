#include <gtest/gtest.h>

#include "manager/Location.h"

namespace {
const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
}

// The stored form read back: the kind, root, view and path; written again
// the same.
TEST(LocationText, ParsedOnceAndWrittenBackTheSame) {
  struct Case {
    const wchar_t* text;
    LocationKind kind;
    RegistryRoot root;
    KeyView view;
    const wchar_t* path;
  };
  const auto user = RegistryRoot::CurrentUser, machine = RegistryRoot::LocalMachine;
  const auto native = KeyView::Native, wow64 = KeyView::Wow64;
  const Case cases[] = {
      {L"C:\\Startup", LocationKind::Folder, user, native, L"C:\\Startup"},
      {L"c:", LocationKind::Folder, user, native, L"c:"},
      {L"\\\\srv\\home\\Startup", LocationKind::Folder, user, native, L"\\\\srv\\home\\Startup"},
      {L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", LocationKind::Values, machine,
       native, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\wow6432node\\Microsoft\\Windows\\CurrentVersion\\Run", LocationKind::Values,
       machine, wow64, L"SOFTWARE\\wow6432node\\Microsoft\\Windows\\CurrentVersion\\Run"},
      // Only the exact root name is the machine's.
      {L"hkey_local_machine\\Software\\X", LocationKind::Values, user, native, L"Software\\X"},
      {L"HKEY_LOCAL_MACHINEX\\Run", LocationKind::Values, user, native, L"Run"},
      {L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\", LocationKind::Values, user, native,
       L"Software\\Microsoft\\Windows\\CurrentVersion\\"},
      {L"C\\:", LocationKind::Values, user, native, L":"},
      {L"", LocationKind::None, user, native, L""},
  };
  for (const Case& c : cases) {
    const Location location = Location::Parse(c.text);
    EXPECT_EQ(location.kind, c.kind) << c.text;
    EXPECT_EQ(location.root, c.root) << c.text;
    EXPECT_EQ(location.view, c.view) << c.text;
    EXPECT_EQ(location.path, c.path) << c.text;
    EXPECT_EQ(Location::Parse(location.Text()), location) << c.text;
  }
  EXPECT_EQ(Location::Key(RegistryRoot::LocalMachine, kRun).Text(),
            L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
}

// One place whatever the catalogue calls it; another root, path or case of
// the path is another place (names compare exactly here, as identities do).
TEST(LocationText, SamePlaceSubkeysAndParents) {
  PlaceRules chosen;
  chosen.names = {L"Load"};
  const Location run = Location::Key(RegistryRoot::CurrentUser, kRun);
  EXPECT_EQ(run, Location::Key(RegistryRoot::CurrentUser, kRun, LocationKind::ChosenValues, &chosen));
  EXPECT_NE(run, Location::Key(RegistryRoot::LocalMachine, kRun));
  EXPECT_NE(run, Location::Key(RegistryRoot::CurrentUser, L"software\\Microsoft\\Windows\\CurrentVersion\\Run"));
  EXPECT_NE(Location::Folder(kRun), Location::Key(RegistryRoot::CurrentUser, kRun));
  EXPECT_EQ(Location::Folder(L"C:\\A"), Location::Folder(L"C:\\A"));
  const Location component = Location::Key(RegistryRoot::LocalMachine, L"Software\\Components").Subkey(L"{id}");
  EXPECT_EQ(component.path, L"Software\\Components\\{id}");
  EXPECT_EQ(component.Parent(), Location::Key(RegistryRoot::LocalMachine, L"Software\\Components"));
  EXPECT_TRUE(Location::Key(RegistryRoot::CurrentUser, L"Software").Parent().Empty());
  EXPECT_TRUE(Location::Folder(L"C:\\A\\B").Parent().Empty());
}

TEST(LocationText, ProgramsOfAnEntrysText) {
  struct Case {
    const wchar_t* text;
    ProgramText form;
    std::vector<std::wstring> programs;
  };
  const Case cases[] = {
      {L"\"C:\\P F\\a.exe\" /min", ProgramText::CommandLine, {L"\"C:\\P F\\a.exe\" /min"}},
      {L"  ", ProgramText::CommandLine, {}},
      {L"a.exe,b.exe  c.exe", ProgramText::CommasOrSpaces, {L"a.exe", L"b.exe", L"c.exe"}},
      {L",, ,", ProgramText::CommasOrSpaces, {}},
      {L"C:\\Windows\\system32\\userinit.exe,", ProgramText::Commas, {L"C:\\Windows\\system32\\userinit.exe"}},
      {L"userinit.exe, C:\\x\\evil.exe /q", ProgramText::Commas, {L"userinit.exe", L"C:\\x\\evil.exe /q"}},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgramsOfText(c.text, c.form), c.programs) << c.text;
}

TEST(LocationText, WindowsDefaultsOfWinlogon) {
  const std::wstring system = L"C:\\windows\\system32";
  struct Case {
    const wchar_t* name;
    const wchar_t* text;
    bool isDefault;
  };
  const Case cases[] = {
      {L"Shell", L"explorer.exe", true},
      {L"shell", L" Explorer.EXE ", true},
      {L"Shell", L"explorer.exe,", false},
      {L"Shell", L"C:\\x\\shell.exe", false},
      {L"Shell", L"", false},
      {L"Userinit", L"C:\\windows\\system32\\userinit.exe,", true},
      {L"Userinit", L"c:\\WINDOWS\\System32\\userinit.exe", true},
      {L"Userinit", L"userinit.exe, C:\\x\\evil.exe", false},
      {L"Userinit", L"C:\\windows\\system32\\userinit.exe,C:\\x\\evil.exe", false},
      {L"Userinit", L"C:\\windows\\syswow64\\userinit.exe,", false},
      // No default of Windows': whatever is there is something else's.
      {L"AppSetup", L"", false},
      {L"Taskman", L"taskmgr.exe", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsWindowsDefault(c.name, c.text, system), c.isDefault) << c.text;
  EXPECT_EQ(WindowsDefaultOf(L"Userinit", system), L"C:\\windows\\system32\\userinit.exe,");
  EXPECT_EQ(WindowsDefaultOf(L"Userinit", system + L"\\"), L"C:\\windows\\system32\\userinit.exe,");
  EXPECT_EQ(WindowsDefaultOf(L"SHELL", system), L"explorer.exe");
  EXPECT_EQ(WindowsDefaultOf(L"Load", system), L"");
}
