// What the list tells of each entry and how it is worked from the keys
// and the header: the program's publisher and description, the sort.
#include <gtest/gtest.h>

#include "ManagerFixture.h"
#include "common/ShellLink.h"

namespace {

// The programs with version resources, built beside the tests.
std::wstring TestProgram(const wchar_t* name) {
  wchar_t self[MAX_PATH] = {}, full[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring relative = std::wstring(self).substr(0, std::wstring(self).find_last_of(L'\\')) +
                                L"\\..\\programs\\tests\\" + name;
  GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
  return full;
}

using ColumnsTest = BothViewsTest;

}  // namespace

TEST_F(ColumnsTest, PublisherAndDescriptionComeFromTheProgramsVersionResource) {
  const std::string run = RunKeyPath("Run");
  const std::wstring plain = W(sandbox.UserStartup().Write("plain.exe", "no resource"));
  const std::wstring cyrillic = TestProgram(L"cyrillic.exe");
  const std::wstring kadr = L"\u00AB\u0424\u043E\u0442\u043E\u0441\u0442\u0443\u0434\u0438\u044F \u041A\u0430\u0434\u0440\u00BB";
  const std::wstring viewer = L"\u041F\u0440\u043E\u0441\u043C\u043E\u0442\u0440 \u0444\u043E\u0442\u043E";
  const struct {
    const wchar_t* name;
    std::wstring command, publisher, description;
  } cases[] = {
      {L"First language, then English", L"\"" + TestProgram(L"multilingual.exe") + L"\" /x", L"Beispiel GmbH",
       L"Example tool"},
      {L"No translation list", TestProgram(L"untranslated.exe").substr(0, TestProgram(L"untranslated.exe").size() - 4),
       L"Latin Tools", L"Latin helper"},
      {L"Not in ANSI", cyrillic, kadr, viewer},
      {L"Library", L"rundll32.exe " + TestProgram(L"library.dll") + L",Entry 1", L"Library Makers", L"Entry library"},
      {L"Gone", TestProgram(L"gone.exe"), L"", L""},
      {L"No resource", plain, L"", L""},
  };
  for (const auto& c : cases) SetValueAt(HKEY_CURRENT_USER, run, c.name, REG_SZ, Utf16(c.command));
  std::wstring link;
  ASSERT_EQ(CreateShortcut(W(sandbox.UserStartup().Path()), cyrillic, L"", L"", link), S_OK);
  ManagerDriver& frame = Open("CURRENT USER", "");
  for (const auto& c : cases) {
    const int row = frame.RowOf(c.name);
    ASSERT_GE(row, 0) << A(c.name);
    EXPECT_EQ(frame.lvAutoRun.Text(row, 2), c.publisher) << A(c.name);
    EXPECT_EQ(frame.lvAutoRun.Text(row, 3), c.description) << A(c.name);
  }
  const int shortcut = frame.RowOf(L"cyrillic.lnk");
  ASSERT_GE(shortcut, 0);
  EXPECT_EQ(frame.lvAutoRun.Text(shortcut, 2), kadr);
  EXPECT_EQ(frame.lvAutoRun.Text(shortcut, 3), viewer);
  EXPECT_EQ(frame.lvAutoRun.Text(frame.RowOf(L"plain.exe"), 2), L"");
  SaveWindowPicture(frame.Handle(), "manager-columns.bmp");
}
