// An entry is one identity from the click to the write: a namesake in
// another key or view, a name that holds a NUL, a neighbour after a rename
// is never what a later command acts on; a command that cannot finish
// changes nothing.
#include <gtest/gtest.h>
#include <winternl.h>

#include <map>

#include "ManagerFixture.h"

namespace {

const std::vector<BYTE> kOff7 = {7, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};

std::wstring LocationOf(HKEY root, const std::string& path) {
  return W(std::string(root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") + path);
}

using IdentityTest = BothViewsTest;

}  // namespace

// The same name in the key beside, or in the other view: after a click on
// another row's box, Delete deletes the row the user chose, and only it.
TEST_F(IdentityTest, NamesakesInAnotherKeyOrViewAreOtherEntries) {
  const bool wow64 = HasWow64RegistryView();  // the system's answer in this fixture
  const struct {
    const char* root;
    HKEY hive;
    std::string kept, chosen;
  } cases[] = {
      {"CURRENT USER", HKEY_CURRENT_USER, RunKeyPath("Run"), RunKeyPath("RunOnce")},
      {"LOCAL MACHINE", HKEY_LOCAL_MACHINE, RunKeyPath("Run"), kWow64Run},
  };
  for (const auto& c : cases) {
    if (c.chosen == std::string(kWow64Run) && !wow64) continue;
    SetValueAt(c.hive, c.kept, L"Dup", REG_SZ, Utf16(L"C:\\kept.exe"));
    SetValueAt(c.hive, c.kept, L"Other", REG_SZ, Utf16(L"C:\\other.exe"));
    SetValueAt(c.hive, c.chosen, L"Dup", REG_SZ, Utf16(L"C:\\chosen.exe"));
    SetValueAt(c.hive, c.chosen, L"Next", REG_SZ, Utf16(L"C:\\next.exe"));
    ManagerDriver& frame = Open(c.root, "");
    const std::wstring chosen = LocationOf(c.hive, c.chosen);
    frame.ClickRow(frame.RowOf(L"Dup", chosen));
    frame.ClickRow(frame.RowOf(L"Other"), true);
    EXPECT_EQ(Selected(frame), chosen + L"|Dup") << c.root;
    frame.PressKey(VK_DELETE);
    EXPECT_EQ(ValuesAt(c.hive, c.kept),
              (std::map<std::wstring, std::wstring>{{L"Dup", L"C:\\kept.exe"}, {L"Other", L"C:\\other.exe"}}));
    EXPECT_EQ(ValuesAt(c.hive, c.chosen), (std::map<std::wstring, std::wstring>{{L"Next", L"C:\\next.exe"}}));
    EXPECT_EQ(Selected(frame), chosen + L"|Next") << c.root;  // the neighbour in the same list
  }
  EXPECT_TRUE(driver.boxTexts.empty());
}

// After a rename the renamed entry is selected and focused: the next
// Delete deletes it, not the neighbour that took its old place. A double
// click on another row's box opens that row.
TEST_F(IdentityTest, RenameKeepsTheEntryAndADoubleClickTakesTheRowClicked) {
  for (const char* name : {"A", "Foo", "Gar"}) sandbox.SetValue(HKEY_CURRENT_USER, "Run", name, "C:\\x.exe");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  const std::wstring run = W(LocationText(HKEY_CURRENT_USER, "Run"));
  frame.ClickRow(frame.RowOf(L"Foo"));
  driver.When("TAutoRunItemDlg", FillItemDialog(L"Zed", L"C:\\zed.exe"));
  frame.tbChange.Click();
  EXPECT_EQ(Selected(frame), run + L"|Zed");
  frame.PressKey(VK_DELETE);
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"A", "Gar"}));

  frame.ClickRow(frame.RowOf(L"A"));
  std::wstring opened;
  driver.When("TAutoRunItemDlg", [&](HWND dialog) {
    opened = WindowTextW(FindWindowExA(dialog, nullptr, "Edit", nullptr));
    HWND cancel = FindWindowExA(dialog, FindWindowExA(dialog, nullptr, "VelmoraSpeedButton", nullptr),
                                "VelmoraSpeedButton", nullptr);
    SendMessageA(cancel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(cancel, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  });
  frame.ClickRow(frame.RowOf(L"Gar"), true, true);
  EXPECT_EQ(opened, L"Gar");
  EXPECT_EQ(Selected(frame), run + L"|Gar");
  EXPECT_TRUE(driver.boxTexts.empty());
}

// A name with a NUL inside is listed whole, with a mark for the NUL; every
// command on it is refused by name, and the value named like its prefix
// (with its switch) is left alone.
TEST_F(IdentityTest, ANameHoldingANulIsShownAndRefused) {
  const std::wstring hidden(L"Foo\0Bar", 7);
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), L"Foo", REG_SZ, Utf16(L"C:\\foo.exe"));
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), hidden, REG_SZ, Utf16(L"C:\\hidden.exe"));
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath(SwitchKey("Run").c_str()), L"Foo", REG_BINARY, kOff7);
  ASSERT_EQ(ValuesAt(HKEY_CURRENT_USER, RunKeyPath("Run")).size(), 2u) << "the registry took no NUL name";
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  const int row = frame.RowOf(hidden);
  ASSERT_GE(row, 0);
  EXPECT_EQ(frame.lvAutoRun.Text(row), L"Foo\u2400Bar");
  frame.ClickRow(row);
  driver.AnswerMessageBox();
  frame.PressKey(VK_DELETE);
  driver.AnswerMessageBox();
  frame.ClickRow(frame.RowOf(hidden), true);
  driver.AnswerMessageBox();
  frame.tbChange.Click();
  PumpUntilIdle();
  const std::wstring refused = L"'Foo\u2400Bar' has a NUL character in its name, which Windows' functions cannot reach.";
  EXPECT_EQ(driver.boxTextsW, (std::vector<std::wstring>{refused, refused, refused}));
  EXPECT_EQ(ValuesAt(HKEY_CURRENT_USER, RunKeyPath("Run")),
            (std::map<std::wstring, std::wstring>{{L"Foo", L"C:\\foo.exe"}, {hidden, L"C:\\hidden.exe"}}));
  EXPECT_EQ(sandbox.Bytes(HKEY_CURRENT_USER, SwitchKey("Run").c_str(), "Foo"), kOff7);
}

// A switch that must move or go, where the switches' key refuses writing:
// rename, delete and add change nothing and say why.
TEST_F(IdentityTest, ARefusedSwitchesKeyLeavesEveryCommandUndone) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "old", "C:\\old.exe", REG_EXPAND_SZ);
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "bystander", "C:\\b.exe");
  const std::string switches = RunKeyPath(SwitchKey("Run").c_str());
  for (const wchar_t* name : {L"old", L"bystander", L"stale"})
    SetValueAt(HKEY_CURRENT_USER, switches, name, REG_BINARY, kOff7);
  sandbox.MakeReadOnly(HKEY_CURRENT_USER, switches);
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  const auto before = ValuesAt(HKEY_CURRENT_USER, RunKeyPath("Run"));
  const auto switchesBefore = ValuesAt(HKEY_CURRENT_USER, switches);
  SelectRow(frame, "old");
  driver.When("TAutoRunItemDlg", FillItemDialog(L"new", L"C:\\new.exe"));
  driver.AnswerMessageBox();
  frame.tbChange.Click();
  driver.AnswerMessageBox();
  frame.tbDelete.Click();
  driver.When("TAutoRunItemDlg", FillItemDialog(L"stale", L"C:\\stale.exe"));
  driver.AnswerMessageBox();
  frame.tbAdd.Click();
  PumpUntilIdle();
  sandbox.MakeWritable(HKEY_CURRENT_USER, switches);
  const std::string refused = "Failed to open key 'HKEY_CURRENT_USER\\" + switches + "'";
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{refused, refused, refused}));
  EXPECT_EQ(ValuesAt(HKEY_CURRENT_USER, RunKeyPath("Run")), before);
  EXPECT_EQ(ValuesAt(HKEY_CURRENT_USER, switches), switchesBefore);
  DWORD type = 0;
  sandbox.Value(HKEY_CURRENT_USER, "Run", "old", &type);
  EXPECT_EQ(type, DWORD(REG_EXPAND_SZ));
  EXPECT_EQ(Selected(frame), W(LocationText(HKEY_CURRENT_USER, "Run")) + L"|old");
}
