#include <gtest/gtest.h>

#include <memory>

#include "ManagerFixture.h"
#include "common/FileTools.h"
#include "common/ShellLink.h"
#include "common/nettools.h"
#include "manager/velwin.h"
#include "ui/Application.h"

namespace {

// The catalogue as on 32-bit Windows; the 32-bit view's nodes have tests
// of their own.
class ManagerTest : public ManagerFixture {
 protected:
  void SetUp() override { EmptyAllKeys(); }
  void Select(ManagerDriver& frame, const std::string& root, const std::string& child = "") {
    SelectNode(frame, root, child);
  }
};

}  // namespace

TEST_F(ManagerTest, FullTreeInCatalogueOrderWithCurrentUserSelected) {
  ManagerDriver& frame = Open();
  EXPECT_EQ(TreeShape(frame),
            "CURRENT USER[Run,Run Once,Run Services,Run Services Once,Auto Run,Load and Run (legacy),Winlogon,Logon script] "
            "LOCAL MACHINE[Run,Run Once,Run Services,Run Services Once,Auto Run,Winlogon,Active Setup] REMOVED[]");
  EXPECT_EQ(frame.tvAutoRun.Selected(), FindNode(frame, "CURRENT USER"));
  EXPECT_EQ(frame.CurrentLocation(), L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\");
  const TAutoRunNode* root = frame.NodeItem(FindNode(frame, "LOCAL MACHINE"));
  EXPECT_EQ(root->Location.Text(), L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\");
  EXPECT_FALSE(root->AllowsAdd);
  const TAutoRunNode* once = frame.NodeItem(FindNode(frame, "LOCAL MACHINE", "Run Services Once"));
  EXPECT_EQ(once->Location.Text(), L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce");
  EXPECT_TRUE(once->AllowsAdd);
  EXPECT_EQ(frame.NodeItem(FindNode(frame, "CURRENT USER", "Auto Run"))->Location.Text(), W(sandbox.UserStartup().Path()));
  EXPECT_FALSE(frame.tbAdd.Enabled());
  EXPECT_TRUE(driver.boxTexts.empty());
}

TEST_F(ManagerTest, MissingKeysAndFoldersLeaveOutOnlyTheirNodes) {
  sandbox.RemoveKey(HKEY_CURRENT_USER, "RunServices");
  sandbox.RemoveKey(HKEY_CURRENT_USER, "RunServicesOnce");
  sandbox.RemoveKey(HKEY_LOCAL_MACHINE, "RunOnce");
  sandbox.SetStartupValue(HKEY_CURRENT_USER, sandbox.UserStartup().File("absent"));
  sandbox.RemoveStartupValue(HKEY_LOCAL_MACHINE);
  ManagerDriver& frame = Open();
  EXPECT_EQ(TreeShape(frame),
            "CURRENT USER[Run,Run Once,Load and Run (legacy),Winlogon,Logon script] "
            "LOCAL MACHINE[Run,Run Services,Run Services Once,Winlogon,Active Setup] REMOVED[]");
}

TEST_F(ManagerTest, StartupValueKeptAsStoredWithOrWithoutBackslash) {
  sandbox.SetStartupValue(HKEY_LOCAL_MACHINE, sandbox.CommonStartup().Path() + "\\");
  ManagerDriver& frame = Open();
  EXPECT_EQ(frame.NodeItem(FindNode(frame, "CURRENT USER", "Auto Run"))->Location.Text(), W(sandbox.UserStartup().Path()));
  EXPECT_EQ(frame.NodeItem(FindNode(frame, "LOCAL MACHINE", "Auto Run"))->Location.Text(),
            W(sandbox.CommonStartup().Path() + "\\"));
}

TEST_F(ManagerTest, FolderRowsOfEveryKind) {
  const TempDir& folder = sandbox.UserStartup();
  folder.Write("prog.exe");
  folder.Write("tool.com");
  folder.Write("run.bat");
  folder.Write("old.pif");
  folder.Write("readme.txt");
  folder.Write("noext");
  folder.MakeDir("folder.exe");
  SetFileAttributesA(folder.Write("hidden.exe").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  folder.Write("broken.lnk", "\x4c\x00\x00\x00 not really a shortcut");
  std::string link;
  CreateShortcut(folder.Path(), "C:\\Tools\\app.exe", "", "", link);
  ManagerDriver& frame = Open();
  Select(frame, "CURRENT USER", "Auto Run");
  auto rows = Captions(frame);
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (std::vector<std::string>{"app.lnk", "broken.lnk", "folder.exe", "hidden.exe", "old.pif",
                                            "prog.exe", "run.bat", "tool.com"}));
  for (int i = 0; i < frame.lvAutoRun.Count(); ++i) {
    const TAutoRunItem* item = frame.RowItem(i);
    const std::string name = A(frame.lvAutoRun.Text(i));
    EXPECT_EQ(item->Name, W(name));
    EXPECT_EQ(item->FilePath(), W(folder.File(name)));
    EXPECT_EQ(A(frame.lvAutoRun.Text(i, 1)), folder.File(name));
    if (name == "app.lnk")
      EXPECT_EQ(item->Command, L"C:\\Tools\\app.exe");
    else if (name == "broken.lnk")
      EXPECT_EQ(item->Command, L"");
    else
      EXPECT_EQ(item->Command, W(folder.File(name)));
  }
  EXPECT_TRUE(frame.tbAdd.Enabled());
  EXPECT_FALSE(frame.tbChange.Enabled());
  EXPECT_TRUE(frame.tbDelete.Enabled());
  EXPECT_EQ(frame.lvAutoRun.SelectedIndex(), 0);
}

TEST_F(ManagerTest, RegistryRowsSkipNonStringValuesAndKeepListing) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "first", "C:\\a.exe");
  sandbox.SetRawValue(HKEY_CURRENT_USER, "Run", "number", REG_DWORD, "\x01\x00\x00\x00", 4);
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "second", "\"C:\\Program Files\\B\\b.exe\" /min");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "", "C:\\default.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "RunOnce", "expand", "%SystemRoot%\\x.exe", REG_EXPAND_SZ);
  sandbox.SetRawValue(HKEY_CURRENT_USER, "RunOnce", "unterminated", REG_SZ, "C:\\u.exe", 8);
  ManagerDriver& frame = Open();  // the root lists every child
  auto rows = Captions(frame);
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (std::vector<std::string>{"", "expand", "first", "second", "unterminated"}));
  EXPECT_TRUE(driver.boxTexts.empty());
  for (int i = 0; i < frame.lvAutoRun.Count(); ++i) {
    const TAutoRunItem* item = frame.RowItem(i);
    if (item->Name == L"expand") {
      EXPECT_EQ(item->Command, L"%SystemRoot%\\x.exe");
      EXPECT_EQ(item->Node->Location.Text(), W(LocationText(HKEY_CURRENT_USER, "RunOnce")));
    }
    if (item->Name == L"unterminated") {
      EXPECT_EQ(item->Command, L"C:\\u.exe");
    }
    if (item->Name == L"") {
      EXPECT_EQ(item->Command, L"C:\\default.exe");
    }
  }
}

TEST_F(ManagerTest, StatusPanelsAndCommandRule) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "quoted", "\"C:\\Program Files\\Vendor\\app.exe\" /tray");
  std::string link;
  CreateShortcut(sandbox.UserStartup().Path(), "C:\\Tools\\target.exe", "", "", link);
  ManagerDriver& frame = Open();
  {
    ui::WindowDC dc(frame.StatusBar);
    EXPECT_EQ(frame.StatusBar.Text(0),
              ShortenPathToWidth(L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\", dc.Get(), 350));
  }
  // A root: the list mixes kinds and Change follows the row.
  EXPECT_FALSE(frame.tbAdd.Enabled());
  ASSERT_EQ(Captions(frame), (std::vector<std::string>{"quoted", "target.lnk"}));
  EXPECT_EQ(frame.lvAutoRun.SelectedIndex(), 0);
  EXPECT_TRUE(frame.lvAutoRun.IsFocused(0));
  EXPECT_EQ(A(frame.StatusBar.Text(1)), "app.exe\" /tray");
  EXPECT_TRUE(frame.tbChange.Enabled());
  frame.lvAutoRun.SelectOnly(1);
  EXPECT_EQ(A(frame.StatusBar.Text(1)), "target.exe");
  EXPECT_FALSE(frame.tbChange.Enabled());
  EXPECT_TRUE(frame.tbDelete.Enabled());
  frame.OpenPopup();
  EXPECT_FALSE(frame.miAdd.Enabled());
  EXPECT_FALSE(frame.miChange.Enabled());
  EXPECT_TRUE(frame.miDelete.Enabled());

  Select(frame, "CURRENT USER", "Run");
  EXPECT_EQ(frame.CurrentLocation(), W(LocationText(HKEY_CURRENT_USER, "Run")));
  EXPECT_TRUE(frame.tbAdd.Enabled());
  EXPECT_TRUE(frame.tbChange.Enabled());
  frame.OpenPopup();
  EXPECT_TRUE(frame.miAdd.Enabled());
  EXPECT_TRUE(frame.miChange.Enabled());

  Select(frame, "LOCAL MACHINE");  // a root whose children are all empty
  EXPECT_EQ(frame.lvAutoRun.Count(), 0);
  EXPECT_FALSE(frame.tbAdd.Enabled());
  EXPECT_FALSE(frame.tbChange.Enabled());
  EXPECT_FALSE(frame.tbDelete.Enabled());
  EXPECT_EQ(A(frame.StatusBar.Text(1)), "");
  EXPECT_EQ(A(frame.StatusBar.Text(2)), "");
}

// Refresh keeps the node and the entry by identity: the namesake in
// another key is another entry; a gone entry leaves the selection where
// it was, or on the last row.
TEST_F(ManagerTest, RefreshKeepsNodeAndEntryByIdentity) {
  for (const char* name : {"alpha", "beta", "gamma"}) sandbox.SetValue(HKEY_CURRENT_USER, "Run", name, "x");
  sandbox.SetValue(HKEY_CURRENT_USER, "RunOnce", "Beta", "y");
  ManagerDriver& frame = Open();
  ASSERT_EQ(Captions(frame), (std::vector<std::string>{"alpha", "beta", "gamma", "Beta"}));
  frame.lvAutoRun.SelectOnly(3);  // "Beta" under Run Once
  frame.tbRefresh.Click();
  EXPECT_EQ(frame.lvAutoRun.SelectedIndex(), 3);
  EXPECT_EQ(frame.lvAutoRun.FocusedIndex(), 3);

  Select(frame, "CURRENT USER", "Run");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "delta", "x");
  frame.lvAutoRun.SelectOnly(2);  // gamma
  RegDeleteKeyValueA(HKEY_CURRENT_USER, RunKeyPath("Run").c_str(), "gamma");
  frame.tbRefresh.Click();  // gone: the row at its place
  EXPECT_EQ(frame.tvAutoRun.Selected(), FindNode(frame, "CURRENT USER", "Run"));
  EXPECT_EQ(Captions(frame), (std::vector<std::string>{"alpha", "beta", "delta"}));
  EXPECT_EQ(frame.lvAutoRun.SelectedIndex(), 2);

  RegDeleteKeyValueA(HKEY_CURRENT_USER, RunKeyPath("Run").c_str(), "delta");
  frame.tbRefresh.Click();  // past the end: the last row
  EXPECT_EQ(frame.lvAutoRun.SelectedIndex(), 1);
  EXPECT_EQ(frame.lvAutoRun.FocusedIndex(), 1);

  sandbox.EmptyKey(HKEY_CURRENT_USER, "Run");
  frame.tbRefresh.Click();
  EXPECT_EQ(frame.lvAutoRun.Count(), 0);
  EXPECT_EQ(frame.lvAutoRun.SelectedIndex(), -1);
  EXPECT_EQ(frame.lvAutoRun.UpdateDepth(), 0);
}

// No caption is taken for "nothing selected": a row named "-no-" keeps
// its selection like any other.
TEST_F(ManagerTest, RowCaptionedNoIsRestoredByCaption) {
  for (const char* name : {"a", "-no-", "b"}) sandbox.SetValue(HKEY_CURRENT_USER, "Run", name, "x");
  ManagerDriver& frame = Open();
  Select(frame, "CURRENT USER", "Run");
  frame.lvAutoRun.SelectOnly(frame.lvAutoRun.FindCaption(L"-no-"));
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "+first", "x");  // moves every row down
  frame.tbRefresh.Click();
  const int selected = frame.lvAutoRun.SelectedIndex();
  ASSERT_GE(selected, 0);
  EXPECT_EQ(A(frame.lvAutoRun.Text(selected)), "-no-");
  EXPECT_TRUE(frame.lvAutoRun.IsFocused(selected));
}

TEST_F(ManagerTest, NetworkStartupFolderIsAFolderLocation) {
  // Wine has no network provider: the probe is played, and the folder is
  // reached through an extended-length path, which also starts with "\\".
  struct Reachable : NetworkProvider {
    bool reachable = true;
    DWORD AddConnection(NETRESOURCEW&) override { return reachable ? NO_ERROR : ERROR_BAD_NETPATH; }
    DWORD CancelConnection(const std::wstring&) override { return NO_ERROR; }
    void FetchExtendedError() override {}
    std::wstring HostExecutablePath() override { return L"C:\\host.exe"; }
  } network;
  NetworkProvider* previous = SetNetworkProvider(&network);
  const std::string share = "\\\\?\\" + sandbox.UserStartup().Path();
  sandbox.SetStartupValue(HKEY_CURRENT_USER, share);
  sandbox.UserStartup().Write("remote.exe");
  {
    ManagerDriver& frame = Open();
    Select(frame, "CURRENT USER", "Auto Run");
    EXPECT_EQ(Captions(frame), (std::vector<std::string>{"remote.exe"}));
    EXPECT_EQ(frame.RowItem(0)->FilePath(), W(share + "\\remote.exe"));
    EXPECT_TRUE(frame.tbDelete.Enabled());
    EXPECT_FALSE(frame.tbChange.Enabled());  // a file row
  }
  network.reachable = false;
  ManagerDriver& frame = Open();
  EXPECT_EQ(FindNode(frame, "CURRENT USER", "Auto Run"), nullptr);
  SetNetworkProvider(previous);
}

TEST_F(ManagerTest, ErrorWhileLoadingIsShownAndTheWindowStillOpens) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "a", "C:\\a.exe");
  sandbox.SetStartupValue(HKEY_LOCAL_MACHINE, "\x01\x02", REG_BINARY);
  driver.AnswerMessageBox();
  ManagerDriver& frame = Open();
  PumpUntilIdle();
  ASSERT_EQ(driver.boxTexts.size(), 1u);
  EXPECT_EQ(driver.boxTexts[0], "Invalid data type for 'Common Startup'");
  // The nodes built before the error stay; the list was not filled.
  EXPECT_EQ(TreeShape(frame),
            "CURRENT USER[Run,Run Once,Run Services,Run Services Once,Auto Run,Load and Run (legacy),Winlogon,Logon script] "
            "LOCAL MACHINE[Run,Run Once,Run Services,Run Services Once] REMOVED[]");
  EXPECT_EQ(frame.lvAutoRun.Count(), 0);
  EXPECT_FALSE(frame.Loading());
  EXPECT_TRUE(IsWindow(window->Handle()));
}

TEST_F(ManagerTest, SplitterDragResizesTheTree) {
  ManagerDriver& frame = Open();
  RECT before;
  GetWindowRect(frame.tvAutoRun, &before);
  RECT bar;
  GetWindowRect(frame.splTree.Handle(), &bar);
  SendMessageA(frame.splTree.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 10));
  SetCursorPos(bar.left + 2 + 40, bar.top + 10);
  POINT client{bar.left + 2 + 40, bar.top + 10};
  ScreenToClient(frame.splTree.Handle(), &client);
  SendMessageA(frame.splTree.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(client.x, client.y));
  SendMessageA(frame.splTree.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
  RECT after;
  GetWindowRect(frame.tvAutoRun, &after);
  EXPECT_EQ((after.right - after.left) - (before.right - before.left), 40);
  RECT list;
  GetWindowRect(frame.lvAutoRun, &list);
  EXPECT_EQ(list.left, after.right + 6);
}

TEST_F(ManagerTest, WindowLayoutAndPicture) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "Demo", "C:\\windows\\notepad.exe");
  ManagerDriver& frame = Open();
  RECT outer;
  GetWindowRect(window->Handle(), &outer);
  EXPECT_LE(outer.left, 122);  // moved left when the columns would reach past the work area
  EXPECT_EQ(outer.top, 109);
  EXPECT_GT(outer.right - outer.left, 549);  // every column shown (ColumnsTest)
  EXPECT_GT(outer.bottom - outer.top, 231);  // tall enough for the tree (ColumnsTest)
  EXPECT_EQ(WindowText(window->Handle()), "Velmora");
  RECT tree;
  GetWindowRect(frame.tvAutoRun, &tree);
  EXPECT_EQ(tree.right - tree.left, 161);
  EXPECT_EQ(A(frame.pnlTop.Text()), "You can add new, change or delete existing auto run items.");
  EXPECT_EQ(A(frame.pmAutoRun.Caption(0)), "Add new");
  EXPECT_EQ(A(frame.pmAutoRun.Caption(1)), "Change");
  EXPECT_EQ(A(frame.pmAutoRun.Caption(2)), "Delete");
  EXPECT_EQ(ImageList_GetImageCount(frame.Pictures()), imgSkipped + 1);
  EXPECT_EQ(frame.tbrCommands.ButtonCount(), 10);
  EXPECT_TRUE(frame.tbInfo.Hidden());
  EXPECT_TRUE(frame.tbInfoSeparator.Hidden());
  PumpUntilIdle();
  SaveWindowPicture(window->Handle(), "manager-window.bmp");
}

TEST_F(ManagerTest, KeysTheUserMayOnlyReadAreListed) {
  sandbox.SetValue(HKEY_LOCAL_MACHINE, "Run", "machine", "C:\\m.exe");
  sandbox.MakeReadOnly(HKEY_LOCAL_MACHINE, RunKeyPath("Run"));
  sandbox.MakeReadOnly(HKEY_LOCAL_MACHINE, AutorunSandbox::ShellFoldersPath());
  ManagerDriver& frame = Open();
  EXPECT_NE(FindNode(frame, "LOCAL MACHINE", "Auto Run"), nullptr);
  Select(frame, "LOCAL MACHINE", "Run");
  EXPECT_EQ(Captions(frame), (std::vector<std::string>{"machine"}));
  EXPECT_TRUE(driver.boxTexts.empty());
}
