#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "ManagerFixture.h"
#include "common/ShellLink.h"
#include "manager/velwin.h"

namespace {

HWND NthChild(HWND parent, const char* className, int n) {
  HWND child = nullptr;
  for (int i = 0; i <= n; ++i) child = FindWindowExA(parent, child, className, nullptr);
  return child;
}

void ClickButton(HWND button) {
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
}

// Types into the item dialog as a user does and presses OK (or Cancel).
std::function<void(HWND)> FillDialog(const std::string& name, const std::string& path, bool ok = true,
                                     std::vector<std::string>* seen = nullptr, RECT* where = nullptr) {
  return [=](HWND dialog) {
    if (seen) {
      seen->push_back(WindowText(NthChild(dialog, "Edit", 0)));
      seen->push_back(WindowText(NthChild(dialog, "Edit", 1)));
    }
    if (where) GetWindowRect(dialog, where);
    SetWindowTextA(NthChild(dialog, "Edit", 0), name.c_str());
    SetWindowTextA(NthChild(dialog, "Edit", 1), path.c_str());
    ClickButton(NthChild(dialog, "VelmoraSpeedButton", ok ? 0 : 1));
  };
}

class EditingTest : public ManagerFixture {
 protected:
  void SetUp() override { EmptyAllKeys(); }
  ManagerDriver& Open(const std::string& root, const std::string& child) { return ManagerFixture::Open(root, child); }
};

}  // namespace

TEST_F(EditingTest, AddChangeDeleteInARegistryKey) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "keep", "C:\\keep.exe");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  RECT where{};
  std::vector<std::string> seen;
  driver.When("TAutoRunItemDlg", FillDialog("Tool", "C:\\Tools\\tool.exe", true, &seen, &where));
  frame.tbAdd.Click();
  EXPECT_EQ(seen, (std::vector<std::string>{"", ""}));
  EXPECT_EQ(where.left, 375);
  EXPECT_EQ(where.top, 254);
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"Tool", "keep"}));
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "Tool"), "C:\\Tools\\tool.exe");
  ASSERT_GE(frame.lvAutoRun.FindCaption(L"Tool"), 0);
  SaveWindowPicture(window->Handle(), "manager-after-add.bmp");

  SelectRow(frame, "Tool");
  seen.clear();
  driver.When("TAutoRunItemDlg", FillDialog("Tool2", "C:\\Tools\\tool2.exe", true, &seen));
  frame.tbChange.Click();
  EXPECT_EQ(seen, (std::vector<std::string>{"Tool", "C:\\Tools\\tool.exe"}));
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"Tool2", "keep"}));
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "Tool2"), "C:\\Tools\\tool2.exe");
  EXPECT_EQ(A(frame.lvAutoRun.Text(frame.lvAutoRun.SelectedIndex())), "Tool2");

  frame.tbDelete.Click();
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"keep"}));
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "keep"), "C:\\keep.exe");
  EXPECT_TRUE(driver.boxTexts.empty());
}

TEST_F(EditingTest, CollisionsChangeNothingAndReport) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "a", "C:\\a.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "b", "C:\\b.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "", "C:\\default.exe");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  driver.When("TAutoRunItemDlg", FillDialog("A", "C:\\other.exe"));
  driver.AnswerMessageBox();
  frame.tbAdd.Click();
  driver.When("TAutoRunItemDlg", FillDialog("", "C:\\other.exe"));
  driver.AnswerMessageBox();
  frame.tbAdd.Click();
  SelectRow(frame, "a");
  driver.When("TAutoRunItemDlg", FillDialog("B", "C:\\changed.exe"));
  driver.AnswerMessageBox();
  frame.tbChange.Click();
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{"Value 'A' already exists.", "Value '' already exists.",
                                                        "Value 'B' already exists."}));
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "a"), "C:\\a.exe");
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "b"), "C:\\b.exe");
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", ""), "C:\\default.exe");
  // Its own name in another letter case is not a collision.
  SelectRow(frame, "a");
  driver.When("TAutoRunItemDlg", FillDialog("A", "C:\\a2.exe"));
  frame.tbChange.Click();
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"", "A", "b"}));
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "A"), "C:\\a2.exe");
}

TEST_F(EditingTest, ExpandableStaysExpandableAndEmptyValuesRename) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "exp", "%ProgramFiles%\\x.exe", REG_EXPAND_SZ);
  sandbox.SetRawValue(HKEY_CURRENT_USER, "Run", "empty", REG_SZ, "", 0);
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  SelectRow(frame, "exp");
  driver.When("TAutoRunItemDlg", FillDialog("exp", "%ProgramFiles%\\x.exe"));
  frame.tbChange.Click();
  DWORD type = 0;
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "exp", &type), "%ProgramFiles%\\x.exe");
  EXPECT_EQ(type, DWORD(REG_EXPAND_SZ));
  SelectRow(frame, "empty");
  driver.When("TAutoRunItemDlg", FillDialog("filled", "C:\\f.exe"));
  frame.tbChange.Click();
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"exp", "filled"}));
}

TEST_F(EditingTest, StartupFolderAddMakesShortcutToThePathText) {
  const TempDir& folder = sandbox.UserStartup();
  folder.Write("app.lnk", "taken");
  ManagerDriver& frame = Open("CURRENT USER", "Auto Run");
  driver.When("TAutoRunItemDlg", FillDialog("ignored name", "C:\\Tools\\app.exe"));
  frame.tbAdd.Click();
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"app(1).lnk", "app.lnk"}));
  std::string target;
  GetShortcutTarget(folder.File("app(1).lnk"), target);
  EXPECT_EQ(target, "C:\\Tools\\app.exe");
  // Only a Name: it is the target.
  driver.When("TAutoRunItemDlg", FillDialog("C:\\Tools\\only.exe", ""));
  frame.tbAdd.Click();
  EXPECT_TRUE(PathExists(folder.File("only.lnk")));
  SelectRow(frame, "only.lnk");
  frame.tbDelete.Click();
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"app(1).lnk", "app.lnk"}));
}

TEST_F(EditingTest, DeleteMovesFocusAndSelection) {
  for (const char* name : {"A", "B", "C"}) sandbox.SetValue(HKEY_CURRENT_USER, "Run", name, "x");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  SelectRow(frame, "B");
  frame.tbDelete.Click();
  EXPECT_EQ(A(frame.lvAutoRun.Text(frame.lvAutoRun.SelectedIndex())), "C");
  EXPECT_TRUE(frame.lvAutoRun.IsFocused(frame.lvAutoRun.SelectedIndex()));
  SelectRow(frame, "C");
  frame.tbDelete.Click();
  EXPECT_EQ(A(frame.lvAutoRun.Text(frame.lvAutoRun.SelectedIndex())), "A");
  frame.tbDelete.Click();
  EXPECT_EQ(frame.lvAutoRun.Count(), 0);
  EXPECT_TRUE(sandbox.Names(HKEY_CURRENT_USER, "Run").empty());
  frame.tbDelete.Click();  // nothing selected: nothing happens
  EXPECT_TRUE(driver.boxTexts.empty());
}

TEST_F(EditingTest, DeleteKeysAndDoubleClick) {
  for (const char* name : {"A", "B", "C", "D"}) sandbox.SetValue(HKEY_CURRENT_USER, "Run", name, "x");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  SetFocus(frame.lvAutoRun);
  SelectRow(frame, "A");
  for (int modifier : {0, VK_SHIFT, VK_CONTROL}) {
    BYTE keys[256];
    GetKeyboardState(keys);
    if (modifier) keys[modifier] = 0x80;
    SetKeyboardState(keys);
    NMLVKEYDOWN key{{frame.lvAutoRun.Handle(), 0, LVN_KEYDOWN}, VK_DELETE, 0};
    SendMessageA(frame.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&key));
    if (modifier) keys[modifier] = 0;
    SetKeyboardState(keys);
  }
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"D"}));
  NMLVKEYDOWN other{{frame.lvAutoRun.Handle(), 0, LVN_KEYDOWN}, 'X', 0};
  SendMessageA(frame.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&other));
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"D"}));
  std::vector<std::string> seen;
  driver.When("TAutoRunItemDlg", FillDialog("D", "y", false, &seen));
  frame.ClickRow(0, false, true);
  EXPECT_EQ(seen, (std::vector<std::string>{"D", "x"}));
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "D"), "x");  // cancelled
}

TEST_F(EditingTest, KeyRemovedSinceListingIsReported) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "a", "x");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  sandbox.RemoveKey(HKEY_CURRENT_USER, "Run");
  SelectRow(frame, "a");
  driver.AnswerMessageBox();
  frame.tbDelete.Click();
  driver.When("TAutoRunItemDlg", FillDialog("n", "p"));
  driver.AnswerMessageBox();
  frame.tbAdd.Click();
  PumpUntilIdle();
  const std::string expected = "Failed to open key '" + LocationText(HKEY_CURRENT_USER, "Run") + "'";
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{expected, expected}));
  EXPECT_EQ(frame.lvAutoRun.Count(), 0);  // refreshed
  EXPECT_TRUE(IsWindow(window->Handle()));
}

TEST_F(EditingTest, ReadOnlyFileReportsFailedDelete) {
  const std::string file = sandbox.UserStartup().Write("locked.exe");
  ManagerDriver& frame = Open("CURRENT USER", "Auto Run");
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
  SelectRow(frame, "locked.exe");
  driver.AnswerMessageBox();
  frame.tbDelete.Click();
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{"Failed to delete file '" + file + "'"}));
  EXPECT_TRUE(PathExists(file));
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(EditingTest, RootSelectedActsOnTheRowsOwnKeyOrFile) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "same", "C:\\run.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "RunOnce", "once", "C:\\once.exe");
  const std::string file = sandbox.UserStartup().Write("file.exe");
  ManagerDriver& frame = Open("CURRENT USER", "");
  SelectRow(frame, "once");
  driver.When("TAutoRunItemDlg", FillDialog("twice", "C:\\twice.exe"));
  frame.tbChange.Click();
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "RunOnce"), (std::vector<std::string>{"twice"}));
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"same"}));
  SelectRow(frame, "same");
  frame.tbDelete.Click();
  EXPECT_TRUE(sandbox.Names(HKEY_CURRENT_USER, "Run").empty());
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "RunOnce"), (std::vector<std::string>{"twice"}));
  SelectRow(frame, "file.exe");
  frame.tbDelete.Click();
  EXPECT_FALSE(PathExists(file));
  EXPECT_EQ(frame.lvAutoRun.Count(), 1);
  EXPECT_TRUE(driver.boxTexts.empty());
}

TEST_F(EditingTest, FailedShortcutSaveIsReportedOnceAndReleasesTheDialog) {
  ManagerDriver& frame = Open("CURRENT USER", "Auto Run");
  const std::string folder = sandbox.UserStartup().Path();
  DeleteTreeOnDisk(folder);  // gone since the list was filled
  driver.When("TAutoRunItemDlg", FillDialog("x", "C:\\Tools\\app.exe"));
  driver.AnswerMessageBox();
  frame.tbAdd.Click();
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{"Failed to create shortcut '" + folder + "\\app.lnk'"}));
  EXPECT_EQ(FindWindowA("TAutoRunItemDlg", nullptr), nullptr);
  EXPECT_TRUE(IsWindow(window->Handle()));
  CreateDirectoryA(folder.c_str(), nullptr);
}

TEST_F(EditingTest, RefusedWriteRightsAreReportedAndChangeNothing) {
  sandbox.SetValue(HKEY_LOCAL_MACHINE, "Run", "machine", "C:\\m.exe");
  sandbox.MakeReadOnly(HKEY_LOCAL_MACHINE, RunKeyPath("Run"));
  ManagerDriver& frame = Open("LOCAL MACHINE", "Run");
  ASSERT_EQ(frame.lvAutoRun.Count(), 1);
  const std::string expected = "Failed to open key '" + LocationText(HKEY_LOCAL_MACHINE, "Run") + "'";
  driver.When("TAutoRunItemDlg", FillDialog("new", "C:\\n.exe"));
  driver.AnswerMessageBox();
  frame.tbAdd.Click();
  SelectRow(frame, "machine");
  driver.When("TAutoRunItemDlg", FillDialog("renamed", "C:\\r.exe"));
  driver.AnswerMessageBox();
  frame.tbChange.Click();
  SelectRow(frame, "machine");
  driver.AnswerMessageBox();
  frame.tbDelete.Click();
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{expected, expected, expected}));
  sandbox.MakeWritable(HKEY_LOCAL_MACHINE, RunKeyPath("Run"));
  EXPECT_EQ(sandbox.Names(HKEY_LOCAL_MACHINE, "Run"), (std::vector<std::string>{"machine"}));
  EXPECT_EQ(sandbox.Value(HKEY_LOCAL_MACHINE, "Run", "machine"), "C:\\m.exe");
  EXPECT_EQ(frame.lvAutoRun.Count(), 1);
}

// After a command the list shows what the key holds now, others' changes
// included, without rebuilding the rows that did not change: they keep
// their records, and the list keeps its scroll position.
TEST_F(EditingTest, RefreshMergesInsteadOfRebuilding) {
  char name[8];
  for (int i = 0; i < 60; ++i) {
    std::snprintf(name, sizeof name, "v%02d", i);
    sandbox.SetValue(HKEY_CURRENT_USER, "Run", name, "C:\\x.exe");
  }
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  SendMessageA(frame.lvAutoRun, LVM_ENSUREVISIBLE, 59, FALSE);
  const LRESULT top = SendMessageA(frame.lvAutoRun, LVM_GETTOPINDEX, 0, 0);
  ASSERT_GT(top, 0);
  std::map<std::wstring, const TAutoRunItem*> before;
  for (int row = 0; row < frame.lvAutoRun.Count(); ++row) before[frame.RowItem(row)->Name] = frame.RowItem(row);
  // Another program adds one value, removes one and changes one.
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "v30a", "C:\\new.exe");
  RegDeleteKeyValueA(HKEY_CURRENT_USER, RunKeyPath("Run").c_str(), "v59");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "v58", "C:\\changed.exe");
  SelectRow(frame, "v55");
  driver.When("TAutoRunItemDlg", FillDialog("v55", "C:\\v55.exe"));
  frame.tbChange.Click();
  std::vector<std::string> rows = Captions(frame);
  std::vector<std::string> expected = sandbox.Names(HKEY_CURRENT_USER, "Run");
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(SendMessageA(frame.lvAutoRun, LVM_GETTOPINDEX, 0, 0), top);
  for (int row = 0; row < frame.lvAutoRun.Count(); ++row) {
    const TAutoRunItem* item = frame.RowItem(row);
    if (item->Name == L"v58") {
      EXPECT_EQ(item->Command, L"C:\\changed.exe");
      EXPECT_EQ(frame.lvAutoRun.Text(row, 1), L"C:\\changed.exe");
    } else if (item->Name == L"v55") {
      EXPECT_EQ(frame.lvAutoRun.Text(row, 1), L"C:\\v55.exe");
    } else if (item->Name != L"v30a") {
      EXPECT_EQ(item, before[item->Name]) << A(item->Name) << " was rebuilt";
    }
  }
  EXPECT_EQ(A(frame.lvAutoRun.Text(frame.lvAutoRun.SelectedIndex())), "v55");
}

// The keys of a file manager's panels: Enter changes the selected entry,
// Insert adds, Ctrl+C copies the rows as text, F5 lists the tree again,
// and the menu key opens the popup on the selected row.
TEST_F(EditingTest, PanelKeys) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "A", "C:\\a.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "B", "C:\\b.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "RunOnce", "Once", "C:\\once.exe");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  SelectRow(frame, "B");
  std::vector<std::string> seen;
  driver.When("TAutoRunItemDlg", FillDialog("B2", "C:\\b2.exe", true, &seen));
  frame.PressKey(VK_RETURN);
  EXPECT_EQ(seen, (std::vector<std::string>{"B", "C:\\b.exe"}));
  driver.When("TAutoRunItemDlg", FillDialog("New", "C:\\new.exe"));
  frame.PressKey(VK_INSERT);
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"A", "B2", "New"}));

  frame.PressKey('C', true);
  EXPECT_EQ(ClipboardText(), L"New\tC:\\new.exe");

  const int row = frame.RowOf(L"A");
  frame.ClickRow(row);
  RECT menu{}, bounds{LVIR_BOUNDS, 0, 0, 0}, list{};
  driver.When("#32768", [&](HWND popup) {
    GetWindowRect(popup, &menu);
    EndMenu();
  });
  SendMessageW(frame.lvAutoRun, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(frame.lvAutoRun.Handle()), MAKELPARAM(-1, -1));
  PumpUntilIdle();
  SendMessageW(frame.lvAutoRun, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
  MapWindowPoints(frame.lvAutoRun, nullptr, reinterpret_cast<POINT*>(&bounds), 2);
  GetWindowRect(frame.lvAutoRun, &list);
  EXPECT_EQ(menu.top, bounds.top);
  EXPECT_GT(menu.left, list.left);
  EXPECT_LT(menu.left, list.right);

  sandbox.RemoveKey(HKEY_CURRENT_USER, "RunOnce");
  EXPECT_NE(FindNode(frame, "CURRENT USER", "Run Once"), nullptr);
  frame.PressKey(VK_F5);
  EXPECT_EQ(FindNode(frame, "CURRENT USER", "Run Once"), nullptr);
  EXPECT_EQ(frame.lvAutoRun.Text(frame.lvAutoRun.SelectedIndex()), L"A");  // the same entry, after the tree is made again
}

// F2 renames in the row, as Change renames: the command stays, the
// namesake in another key stays, a taken name is refused with the usual
// message and the row stays as it was.
TEST_F(EditingTest, F2RenamesInPlace) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "Foo", "C:\\foo.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "Bar", "C:\\bar.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "RunOnce", "Foo", "C:\\namesake.exe");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  const auto renameTo = [&](const char* from, const wchar_t* to) {
    SelectRow(frame, from);
    frame.PressKey(VK_F2);
    const HWND edit = reinterpret_cast<HWND>(SendMessageW(frame.lvAutoRun, LVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr) << from;
    SetWindowTextW(edit, to);
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    PumpUntilIdle();
  };
  renameTo("Foo", L"Zed");
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"Bar", "Zed"}));
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "Zed"), "C:\\foo.exe");
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "RunOnce", "Foo"), "C:\\namesake.exe");
  EXPECT_EQ(frame.lvAutoRun.Text(frame.lvAutoRun.SelectedIndex()), L"Zed");
  driver.AnswerMessageBox();
  renameTo("Zed", L"Bar");
  ASSERT_EQ(driver.boxTexts.size(), 1u);
  EXPECT_NE(driver.boxTexts[0].find("Bar"), std::string::npos) << driver.boxTexts[0];
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"Bar", "Zed"}));
  EXPECT_GE(frame.RowOf(L"Zed"), 0);
}
