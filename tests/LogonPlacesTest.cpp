// The logon places beyond the Run keys: each listed, watched, kept and
// undone as the Run keys are, each taking only the commands it may; the
// keys Windows skips by policy, marked while the policy is set.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "ManagerFixture.h"
#include "manager/EntryCommands.h"
#include "manager/RecordStore.h"

namespace {

constexpr DWORD kFollowDeadlineMs = 5000;
const std::string kActiveSetup = "Software\\Microsoft\\Active Setup\\Installed Components";
const std::wstring kComponent = L"{5E1A0F3C-7D1B-4C57-9E2A-VELMORA0TEST}";

std::vector<BYTE> Dword(DWORD value) {
  const auto* bytes = reinterpret_cast<const BYTE*>(&value);
  return std::vector<BYTE>(bytes, bytes + sizeof value);
}

// In the native view: Winlogon is redirected for a 32-bit program.
void RemoveValueAt(HKEY root, const std::string& path, const std::wstring& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, W(path).c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name.c_str());
  RegCloseKey(key);
}

// A program that is there: a skipped key's rows are not also missing.
std::string Present() {
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  return std::string(system) + "\\cmd.exe";
}

class LogonPlacesTest : public BothViewsTest {
 protected:
  void SetUp() override {
    BothViewsTest::SetUp();
    SetValueAt(HKEY_CURRENT_USER, kPolicyRun, L"P\u00f6licy \u2713", REG_SZ, Utf16(L"C:\\p.exe"));
    SetValueAt(HKEY_LOCAL_MACHINE, kPolicyRun, L"MachinePolicy", REG_SZ, Utf16(L"C:\\m.exe"));
    SetValueAt(HKEY_CURRENT_USER, kLegacyWindows, L"Load", REG_SZ, Utf16(L"C:\\gone1.exe, C:\\gone2.exe"));
    SetValueAt(HKEY_CURRENT_USER, kLegacyWindows, L"Run", REG_SZ, Utf16(L""));  // empty: no entry
    SetValueAt(HKEY_CURRENT_USER, kLegacyWindows, L"Loader", REG_SZ, Utf16(L"C:\\not-a-place.exe"));
    SetValueAt(HKEY_CURRENT_USER, kWinlogon, L"Shell", REG_SZ, Utf16(L"C:\\x\\myshell.exe"));
    SetValueAt(HKEY_LOCAL_MACHINE, kWinlogon, L"Shell", REG_SZ, Utf16(L"explorer.exe"));
    SetValueAt(HKEY_LOCAL_MACHINE, kWinlogon, L"Userinit", REG_EXPAND_SZ, Utf16(L"%SystemRoot%\\system32\\userinit.exe,"));
    for (const auto& [path, installed] : {std::pair{kTestComponent, 1u}, std::pair{kTestComponent32, 0u}}) {
      SetValueAt(HKEY_LOCAL_MACHINE, path, L"", REG_SZ, Utf16(L"Velmora T\u00ebst"));
      SetValueAt(HKEY_LOCAL_MACHINE, path, L"StubPath", REG_SZ, Utf16(L"C:\\stub.exe /u"));
      SetValueAt(HKEY_LOCAL_MACHINE, path, L"IsInstalled", REG_DWORD, Dword(installed));
    }
  }
  std::vector<std::wstring> Rows(ManagerDriver& frame) { return SortedRows(frame); }
  void Follow(const std::function<bool()>& shown, int line = __builtin_LINE()) {
    ASSERT_TRUE(PumpUntil(shown, kFollowDeadlineMs)) << "line " << line;
  }
  // Which of the commands a place may refuse the rule lets run.
  void ExpectCommands(const TakenEntries& taken, bool add, bool change, bool remove, bool rename, bool putDefault) {
    EXPECT_EQ(Enabled(Command::Add, taken), add);
    EXPECT_EQ(Enabled(Command::Change, taken), change);
    EXPECT_EQ(Enabled(Command::Delete, taken), remove);
    EXPECT_EQ(Enabled(Command::Rename, taken), rename);
    EXPECT_EQ(Enabled(Command::PutDefault, taken), putDefault);
  }
  // Each command throws its message (and, the caller checks, writes nothing).
  template <size_t N>
  void ExpectRefused(const std::pair<std::function<void()>, std::string> (&refused)[N]) {
    for (const auto& [command, message] : refused) {
      try {
        command();
        ADD_FAILURE() << message;
      } catch (const EVelmoraError& error) {
        EXPECT_EQ(error.what(), message);
      }
    }
  }
  TakenEntries TakeRow(ManagerDriver& frame, const std::wstring& shown) {
    for (int row = 0; row < frame.lvAutoRun.Count(); ++row)
      if (frame.lvAutoRun.Text(row) == shown) frame.lvAutoRun.SelectOnly(row);
    PumpUntilIdle();
    return frame.frame.TakeSelection();
  }
};

}  // namespace

// Each node lists its entries (and nothing else of its key), takes the
// commands its place takes and refuses the others, by the table and by
// the command itself, with nothing changed.
TEST_F(LogonPlacesTest, EachPlaceListsItsEntriesAndTakesOnlyItsCommands) {
  ManagerDriver& frame = Open();
  struct Case {
    const char* root;
    const char* node;
    std::vector<std::wstring> rows;
    const wchar_t* row;  // the row the commands are tried on
    bool add, change, remove, rename, putDefault, hasSwitch;
  };
  const Case cases[] = {
      {"CURRENT USER", "Run (policy)", {L"P\u00f6licy \u2713"}, L"P\u00f6licy \u2713", true, true, true, true, false, false},
      {"CURRENT USER", "Load and Run (legacy)", {L"Load"}, L"Load", true, true, true, true, false, false},
      {"CURRENT USER", "Winlogon", {L"Shell"}, L"Shell", false, false, true, false, true, false},
      {"LOCAL MACHINE", "Run (policy)", {L"MachinePolicy"}, L"MachinePolicy", true, true, true, true, false, false},
      {"LOCAL MACHINE", "Winlogon", {L"Shell", L"Userinit"}, L"Userinit", false, false, false, false, false, false},
      {"LOCAL MACHINE", "Active Setup", {L"Velmora T\u00ebst"}, L"Velmora T\u00ebst", false, true, true, false, false,
       false},
      // Not installed: no entry; Wine's own components have no StubPath.
      {"LOCAL MACHINE", "Active Setup (32-bit)", {}, nullptr, false, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.root) + "/" + c.node);
    SelectNode(frame, c.root, c.node);
    PumpUntilIdle();
    EXPECT_EQ(Rows(frame), c.rows);
    if (!c.row) continue;
    const TakenEntries taken = TakeRow(frame, c.row);
    ASSERT_NE(taken.Single(), nullptr);
    ExpectCommands(taken, c.add, c.change, c.remove, c.rename, c.putDefault);
    EXPECT_EQ(taken.Single()->hasSwitch, c.hasSwitch);
  }
  // The shared policy key is listed once under the machine; the root lists
  // its places' rows too.
  SelectNode(frame, "CURRENT USER");
  PumpUntilIdle();
  const std::vector<std::wstring> rootRows = Rows(frame);
  for (const wchar_t* row : {L"P\u00f6licy \u2713", L"Load", L"Shell"})
    EXPECT_EQ(std::count(rootRows.begin(), rootRows.end(), row), 1) << A(row);

  // What a place refuses is refused by the command too, naming the entry.
  const auto snapshot = [] {
    return std::vector{SnapshotAt(HKEY_LOCAL_MACHINE, kWinlogon), SnapshotAt(HKEY_CURRENT_USER, kLegacyWindows),
                       SnapshotAt(HKEY_LOCAL_MACHINE, kTestComponent)};
  };
  const auto before = snapshot();
  const size_t records = KeptRecords().size();
  SelectNode(frame, "LOCAL MACHINE", "Winlogon");
  PumpUntilIdle();
  const EntryRef userinit = TakeRow(frame, L"Userinit").Single()->ref;
  SelectNode(frame, "LOCAL MACHINE", "Active Setup");
  PumpUntilIdle();
  const EntryRef stub = TakeRow(frame, L"Velmora T\u00ebst").Single()->ref;
  SelectNode(frame, "CURRENT USER", "Load and Run (legacy)");
  PumpUntilIdle();
  const TakenEntries legacy = TakeRow(frame, L"Load");
  const std::pair<std::function<void()>, std::string> refused[] = {
      {[&] { DeleteEntry(userinit); }, "'Userinit' cannot be deleted in this place"},
      {[&] { ChangeEntry(userinit, L"Userinit", L"C:\\x.exe"); }, "'Userinit' cannot be changed in this place"},
      {[&] { RenameEntry(stub, L"Other"); }, "'Velmora T\xC3\xABst' cannot be renamed in this place"},
      {[&] { AddEntry(*legacy.node, L"Loader", L"C:\\x.exe"); },
       "'Loader' is not a name this place takes: it takes only 'Load' and 'Run'"},
      {[&] { ChangeEntry(legacy.Single()->ref, L"Other", L"C:\\x.exe"); },
       "'Other' is not a name this place takes: it takes only 'Load' and 'Run'"},
  };
  ExpectRefused(refused);
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(KeptRecords().size(), records);
  // The legacy place takes its own names in any case, never over an empty
  // value that is not listed; "Missing" when no program of its list is there.
  EXPECT_THROW(AddEntry(*legacy.node, L"run", L"C:\\x.exe"), ERegistryException);
  EXPECT_EQ(ValuesAt(HKEY_CURRENT_USER, kLegacyWindows)[L"Run"], L"");
  RemoveValueAt(HKEY_CURRENT_USER, kLegacyWindows, L"Run");
  EXPECT_EQ(AddEntry(*legacy.node, L"run", L"C:\\x.exe").name, L"run");
  Follow([&] { return Rows(frame) == std::vector<std::wstring>{L"Load", L"run"}; });
  frame.lvAutoRun.SelectOnly(frame.RowOf(L"Load"));
  Follow([&] { return frame.StatusBar.Text(2) == L"Missing"; });
}

// Each of the four policy values, in either hive, marks the keys Windows
// skips (both views of the machine's) while it is set, live.
TEST_F(LogonPlacesTest, PoliciesMarkTheKeysWindowsSkips) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "UserApp", Present());
  sandbox.SetValue(HKEY_CURRENT_USER, "RunOnce", "UserOnce", Present());
  sandbox.SetValue(HKEY_LOCAL_MACHINE, "Run", "MachineApp", Present());
  sandbox.SetValue(HKEY_LOCAL_MACHINE, "RunOnce", "MachineOnce", Present());
  SetValueAt(HKEY_LOCAL_MACHINE, kWow64Run, L"App32", REG_SZ, Utf16(W(Present())));
  ManagerDriver& frame = Open();
  struct Case {
    const char* value;
    std::vector<std::pair<const char*, const char*>> skipped;  // root, node
    const char* bystander;                                    // a node left alone
  };
  const Case cases[] = {
      {"DisableLocalMachineRun", {{"LOCAL MACHINE", "Run"}, {"LOCAL MACHINE", "Run (32-bit)"}}, "Run Once"},
      {"DisableLocalMachineRunOnce", {{"LOCAL MACHINE", "Run Once"}}, "Run"},
      {"DisableCurrentUserRun", {{"CURRENT USER", "Run"}}, "Run Once"},
      {"DisableCurrentUserRunOnce", {{"CURRENT USER", "Run Once"}}, "Run"},
  };
  const auto shows = [&](const char* root, const char* node, bool skipped) {
    SelectNode(frame, root, node);
    PumpUntilIdle();
    frame.lvAutoRun.SelectOnly(0);
    return PumpUntil(
        [&] {
          const bool marked = frame.StatusBar.Text(2) == L"Skipped by policy";
          const bool said = frame.pnlTop.Text().find(L"by policy") != std::wstring::npos;
          return marked == skipped && said == skipped;
        },
        kFollowDeadlineMs);
  };
  for (const Case& c : cases)
    for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      SCOPED_TRACE(std::string(c.value) + (hive == HKEY_LOCAL_MACHINE ? " in the machine's" : " in the user's"));
      SetValueAt(hive, kPolicies, W(c.value), REG_DWORD, Dword(1));
      for (const auto& [root, node] : c.skipped) {
        EXPECT_TRUE(shows(root, node, true)) << root << "/" << node;
        const std::wstring said = frame.pnlTop.Text();
        EXPECT_NE(said.find(W(c.value) + L" is set in " +
                            (hive == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE\\" : L"HKEY_CURRENT_USER\\") + W(kPolicies)),
                  std::wstring::npos)
            << A(said);
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        SendMessageW(frame.lvAutoRun, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(item.iImage, imgSkipped);
      }
      EXPECT_TRUE(shows(c.skipped.front().first, c.bystander, false));
      // Shown, the mark goes as the value does.
      SelectNode(frame, c.skipped.front().first, c.skipped.front().second);
      PumpUntilIdle();
      RemoveValueAt(hive, kPolicies, W(c.value));
      EXPECT_TRUE(shows(c.skipped.front().first, c.skipped.front().second, false));
    }
  // 0 is no policy; the switch still works while a key is skipped.
  SetValueAt(HKEY_CURRENT_USER, kPolicies, L"DisableCurrentUserRun", REG_DWORD, Dword(0));
  EXPECT_TRUE(shows("CURRENT USER", "Run", false));
  SetValueAt(HKEY_CURRENT_USER, kPolicies, L"DisableCurrentUserRun", REG_DWORD, Dword(2));
  EXPECT_TRUE(shows("CURRENT USER", "Run", true));
  frame.ClickRow(0, true);
  Follow([&] { return HasValueAt(HKEY_CURRENT_USER, RunKeyPath(SwitchKey("Run").c_str()), L"UserApp"); });
}

// Winlogon: a changed Userinit is marked and put back to Windows' default,
// undone, put back again and restored from "REMOVED"; the user's own shell
// may go. Active Setup: Change and Delete reach the StubPath alone.
TEST_F(LogonPlacesTest, WindowsDefaultsPutBackAndComponentsEdited) {
  const std::vector<BYTE> evil = Utf16(L"userinit.exe, C:\\x\\evil.exe");
  SetValueAt(HKEY_LOCAL_MACHINE, kWinlogon, L"Userinit", REG_SZ, evil);
  ManagerDriver& frame = Open("LOCAL MACHINE", "Winlogon");
  const auto userinit = [] { return SnapshotAt(HKEY_LOCAL_MACHINE, kWinlogon)[L"Userinit"]; };
  const StoredBytes shell = SnapshotAt(HKEY_LOCAL_MACHINE, kWinlogon)[L"Shell"];
  frame.lvAutoRun.SelectOnly(frame.RowOf(L"Shell"));
  Follow([&] { return frame.lvAutoRun.SelectedIndex() == frame.RowOf(L"Shell"); });
  EXPECT_NE(frame.StatusBar.Text(2), L"Not Windows' default");
  frame.lvAutoRun.SelectOnly(frame.RowOf(L"Userinit"));
  Follow([&] { return frame.StatusBar.Text(2) == L"Not Windows' default"; });
  frame.Choose(frame.miDefault);
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const StoredBytes fixed{true, REG_SZ, Utf16(std::wstring(system) + L"\\userinit.exe,")};
  EXPECT_EQ(userinit(), fixed);
  // Wine has no userinit.exe: the row may be "Missing", never "Not Windows' default".
  Follow([&] { return frame.StatusBar.Text(2) != L"Not Windows' default"; });
  frame.PressKey('Z', true);
  EXPECT_EQ(userinit(), (StoredBytes{true, REG_SZ, evil}));
  frame.lvAutoRun.SelectOnly(frame.RowOf(L"Userinit"));
  frame.Choose(frame.miDefault);
  EXPECT_EQ(userinit(), fixed);
  // Gone meanwhile, it comes back from its record as it was.
  RemoveValueAt(HKEY_LOCAL_MACHINE, kWinlogon, L"Userinit");
  SelectNode(frame, "REMOVED");
  Follow([&] { return frame.RowOf(L"Userinit") >= 0; });
  frame.lvAutoRun.SelectOnly(frame.RowOf(L"Userinit"));
  Follow([&] { return frame.StatusBar.Text(2) == L"Replaced"; });
  frame.Choose(frame.miRestore);
  EXPECT_EQ(userinit(), (StoredBytes{true, REG_SZ, evil}));
  EXPECT_EQ(SnapshotAt(HKEY_LOCAL_MACHINE, kWinlogon)[L"Shell"], shell);

  // The user's own shell may go, and come back.
  SelectNode(frame, "CURRENT USER", "Winlogon");
  PumpUntilIdle();
  frame.lvAutoRun.SelectOnly(frame.RowOf(L"Shell"));
  frame.PressKey(VK_DELETE);
  EXPECT_FALSE(HasValueAt(HKEY_CURRENT_USER, kWinlogon, L"Shell"));
  frame.PressKey('Z', true);
  EXPECT_EQ(ValuesAt(HKEY_CURRENT_USER, kWinlogon)[L"Shell"], L"C:\\x\\myshell.exe");

  // A component's StubPath is what Change and Delete reach; its name and
  // the other component stay.
  SelectNode(frame, "LOCAL MACHINE", "Active Setup");
  PumpUntilIdle();
  const auto component = [] { return SnapshotAt(HKEY_LOCAL_MACHINE, kTestComponent); };
  const auto twin = SnapshotAt(HKEY_LOCAL_MACHINE, kTestComponent32);
  const auto before = component();
  frame.ChangeAsDialogWould(frame.RowOf(kComponent), L"StubPath", L"C:\\stub2.exe");
  EXPECT_EQ(ValuesAt(HKEY_LOCAL_MACHINE, kTestComponent)[L"StubPath"], L"C:\\stub2.exe");
  Follow([&] { return frame.lvAutoRun.Text(0, kPathColumn) == L"C:\\stub2.exe"; });
  frame.lvAutoRun.SelectOnly(0);
  frame.PressKey(VK_DELETE);
  EXPECT_FALSE(HasValueAt(HKEY_LOCAL_MACHINE, kTestComponent, L"StubPath"));
  EXPECT_EQ(component().size(), before.size() - 1);
  frame.PressKey('Z', true);
  frame.PressKey('Z', true);
  EXPECT_EQ(component(), before);
  EXPECT_EQ(SnapshotAt(HKEY_LOCAL_MACHINE, kTestComponent32), twin);
  Follow([&] { return frame.RowOf(kComponent) == 0 && frame.lvAutoRun.Text(0) == L"Velmora T\u00ebst"; });

  // A person reads the component's title wherever the row is named: the
  // clipboard, "REMOVED", the messages; the record restores StubPath.
  frame.lvAutoRun.SelectOnly(0);
  frame.PressKey('C', true);
  EXPECT_EQ(ClipboardText(), L"Velmora T\u00ebst\tC:\\stub.exe /u");
  const TakenEntries taken = TakeRow(frame, L"Velmora T\u00ebst");
  frame.PressKey(VK_DELETE);
  try {
    DeleteEntry(taken.Single()->ref);
    ADD_FAILURE() << "deleted twice";
  } catch (const EVelmoraError& error) {
    EXPECT_EQ(std::string(error.what()), "Value 'Velmora T\xC3\xABst' does not exist");
  }
  SelectNode(frame, "REMOVED");
  PumpUntilIdle();
  ASSERT_GT(frame.lvAutoRun.Count(), 0);
  EXPECT_EQ(frame.lvAutoRun.Text(0), L"Velmora T\u00ebst");
  frame.lvAutoRun.SelectOnly(0);
  frame.Choose(frame.miRestore);
  EXPECT_EQ(component(), before);
  EXPECT_TRUE(driver.boxTexts.empty());
}

namespace {
int opened = 0;
// Counts the item dialogs that open, and closes each.
void CALLBACK CancelItemDialog(HWND, UINT, UINT_PTR, DWORD) {
  static HWND counted = nullptr;
  const HWND dialog = FindWindowA("TAutoRunItemDlg", nullptr);
  if (!dialog || !IsWindowVisible(dialog)) return;
  if (dialog != counted) ++opened;
  counted = dialog;
  PostMessageW(dialog, WM_CLOSE, 0, 0);
}
}  // namespace

// Every way in obeys the rule: a double click, the toolbar, a box click
// and Space on a row whose place refuses the command (Winlogon's machine
// values, a row of "REMOVED", Add into Active Setup) do nothing, open
// nothing and write nothing; beside each, a row that takes the command.
TEST_F(LogonPlacesTest, RefusedCommandsDoNothingByEveryPath) {
  opened = 0;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, &CancelItemDialog);
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "Gone", "C:\\gone.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "Mine", "C:\\mine.exe");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  frame.ClickRow(frame.RowOf(L"Gone"));
  frame.PressKey(VK_DELETE);  // a row of "REMOVED"
  const auto written = [] {
    return std::vector{SnapshotAt(HKEY_LOCAL_MACHINE, kWinlogon), SnapshotAt(HKEY_LOCAL_MACHINE, kTestComponent),
                       SnapshotAt(HKEY_CURRENT_USER, SwitchKey("Run")), SnapshotAt(HKEY_CURRENT_USER, RunKeyPath("Run"))};
  };
  const auto before = written();
  const size_t records = KeptRecords().size();
  struct Case {
    const char *root, *node;
    const wchar_t* row;
    std::function<void(int row)> act;
    int opens;  // item dialogs opened
  };
  const auto twice = [&](int row) { frame.ClickRow(row, false, true); };
  const auto box = [&](int row) { frame.ClickRow(row, true); };
  const auto space = [&](int row) {
    frame.ClickRow(row);
    frame.PressKey(VK_SPACE);
  };
  const auto add = [&](int row) {
    frame.ClickRow(row);
    frame.tbAdd.Click();
  };
  const auto change = [&](int row) {
    frame.ClickRow(row);
    frame.tbChange.Click();
  };
  const Case refused[] = {
      {"LOCAL MACHINE", "Winlogon", L"Userinit", twice, 0},   {"LOCAL MACHINE", "Winlogon", L"Shell", change, 0},
      {"LOCAL MACHINE", "Winlogon", L"Shell", space, 0},      {"LOCAL MACHINE", "Active Setup", L"Velmora T\u00ebst", add, 0},
      {"REMOVED", "", L"Gone", box, 0},                       {"REMOVED", "", L"Gone", space, 0},
      {"REMOVED", "", L"Gone", twice, 0},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(std::string(c.node) + " " + A(c.row));
    SelectNode(frame, c.root, c.node);
    PumpUntilIdle();
    c.act(frame.RowOf(c.row));
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(written(), before);
    EXPECT_EQ(KeptRecords().size(), records);
  }
  // The rows that take them: the dialog opens (and is cancelled), the box
  // and Space switch the entry off and on again.
  SelectNode(frame, "LOCAL MACHINE", "Run (policy)");
  twice(frame.RowOf(L"MachinePolicy"));
  EXPECT_TRUE(PumpUntil([] { return opened == 1; }, kFollowDeadlineMs));
  add(frame.RowOf(L"MachinePolicy"));
  EXPECT_TRUE(PumpUntil([] { return opened == 2; }, kFollowDeadlineMs));
  SelectNode(frame, "CURRENT USER", "Run");
  PumpUntilIdle();
  box(frame.RowOf(L"Mine"));
  EXPECT_TRUE(PumpUntil([&] { return frame.RowItem(frame.RowOf(L"Mine"))->SwitchedOff(); }, kFollowDeadlineMs));
  space(frame.RowOf(L"Mine"));
  EXPECT_TRUE(PumpUntil([&] { return !frame.RowItem(frame.RowOf(L"Mine"))->SwitchedOff(); }, kFollowDeadlineMs));
  KillTimer(nullptr, timer);
  EXPECT_EQ(written()[0], before[0]);
  EXPECT_EQ(written()[1], before[1]);
  EXPECT_TRUE(driver.boxTexts.empty());
}

// The places beyond the Run keys added later: each listed with a name and
// command beyond the code page (both views where the machine's key has
// two), taking the commands it takes and refusing the others with nothing
// written, its Delete kept and undone byte for byte, another program's
// write listed without F5; AppInit's mark follows LoadAppInit_DLLs live.
TEST_F(LogonPlacesTest, LaterPlacesListedTakenAndKept) {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring present = std::wstring(system) + L"\\kernel32.dll, " + system + L"\\user32.dll";
  SetValueAt(HKEY_CURRENT_USER, kEnvironment, L"UserInitMprLogonScript", REG_EXPAND_SZ, Utf16(L"C:\\Scripts\\log\u00f6n \u4e2d.cmd"));
  SetValueAt(HKEY_CURRENT_USER, kEnvironment, L"VelmoraBystander", REG_SZ, Utf16(L"C:\\not-an-entry.exe"));
  SetValueAt(HKEY_LOCAL_MACHINE, kWinlogon, L"AppSetup", REG_SZ, Utf16(L"C:\\x\\s\u00e9tup.exe"));
  SetValueAt(HKEY_LOCAL_MACHINE, kRemoteDesktopKeys[0], L"R\u00e9mote \u2713", REG_SZ, Utf16(L"C:\\rd\\native.exe"));
  SetValueAt(HKEY_LOCAL_MACHINE, kRemoteDesktopKeys[1], L"Once", REG_SZ, Utf16(L"C:\\rd\\once.exe"));
  SetValueAt(HKEY_LOCAL_MACHINE, kRemoteDesktopKeys[2], L"Wow", REG_SZ, Utf16(L"C:\\rd\\w\u00f6w.exe"));
  SetValueAt(HKEY_LOCAL_MACHINE, kLegacyWindows, L"AppInit_DLLs", REG_SZ, Utf16(present));
  SetValueAt(HKEY_LOCAL_MACHINE, kLegacyWindows32, L"AppInit_DLLs", REG_SZ, Utf16(L"C:\\gone\\h\u00e4ck.dll"));
  SetValueAt(HKEY_LOCAL_MACHINE, kLegacyWindows32, L"LoadAppInit_DLLs", REG_DWORD, Dword(1));
  ManagerDriver& frame = Open();
  struct Case {
    const char* root;
    const char* node;
    HKEY hive;
    const char* key;
    const wchar_t* row;
    const wchar_t* path;
    bool add, change, remove, rename;
    const wchar_t* mark;  // the third panel, once settled; null: not checked
  };
  const Case cases[] = {
      {"CURRENT USER", "Logon script", HKEY_CURRENT_USER, kEnvironment, L"UserInitMprLogonScript",
       L"C:\\Scripts\\log\u00f6n \u4e2d.cmd", true, true, true, false, L"Missing"},
      {"LOCAL MACHINE", "Winlogon", HKEY_LOCAL_MACHINE, kWinlogon, L"AppSetup", L"C:\\x\\s\u00e9tup.exe", false, true,
       true, false, L"Missing"},
      {"LOCAL MACHINE", "Run (Remote Desktop install)", HKEY_LOCAL_MACHINE, kRemoteDesktopKeys[0], L"R\u00e9mote \u2713",
       L"C:\\rd\\native.exe", true, true, true, true, nullptr},
      {"LOCAL MACHINE", "Run Once (Remote Desktop install)", HKEY_LOCAL_MACHINE, kRemoteDesktopKeys[1], L"Once",
       L"C:\\rd\\once.exe", true, true, true, true, nullptr},
      {"LOCAL MACHINE", "Run (Remote Desktop install) (32-bit)", HKEY_LOCAL_MACHINE, kRemoteDesktopKeys[2], L"Wow",
       L"C:\\rd\\w\u00f6w.exe", true, true, true, true, nullptr},
      {"LOCAL MACHINE", "AppInit DLLs", HKEY_LOCAL_MACHINE, kLegacyWindows, L"AppInit_DLLs", present.c_str(), false,
       true, true, false, L"Not loaded: LoadAppInit_DLLs is 0"},
      {"LOCAL MACHINE", "AppInit DLLs (32-bit)", HKEY_LOCAL_MACHINE, kLegacyWindows32, L"AppInit_DLLs",
       L"C:\\gone\\h\u00e4ck.dll", false, true, true, false, L"Missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.root) + "/" + c.node);
    ASSERT_NE(FindNode(frame, c.root, c.node), nullptr);
    SelectNode(frame, c.root, c.node);
    PumpUntilIdle();
    const std::vector<std::wstring> rows = Rows(frame);
    ASSERT_EQ(std::count(rows.begin(), rows.end(), c.row), 1);
    // Winlogon lists Shell and Userinit beside; the others their one entry.
    EXPECT_EQ(rows.size(), std::string(c.node) == "Winlogon" ? 3u : 1u);
    EXPECT_EQ(frame.lvAutoRun.Text(frame.RowOf(c.row), kPathColumn), c.path);
    const TakenEntries taken = TakeRow(frame, c.row);
    ASSERT_NE(taken.Single(), nullptr);
    ExpectCommands(taken, c.add, c.change, c.remove, c.rename, false);
    if (c.mark) Follow([&] { return frame.StatusBar.Text(2) == c.mark; });
    // Delete kept, undone byte for byte; the key's other values stay.
    const auto before = SnapshotAt(c.hive, c.key);
    frame.PressKey(VK_DELETE);
    EXPECT_EQ(SnapshotAt(c.hive, c.key).size(), before.size() - 1);
    Follow([&] { return frame.RowOf(c.row) < 0; });
    frame.PressKey('Z', true);
    EXPECT_EQ(SnapshotAt(c.hive, c.key), before);
    Follow([&] { return Rows(frame) == rows; });
  }
  // Another program's write, listed without F5; AppInit's mark follows
  // the view's own LoadAppInit_DLLs as it changes.
  SelectNode(frame, "LOCAL MACHINE", "AppInit DLLs");
  PumpUntilIdle();
  frame.lvAutoRun.SelectOnly(0);
  SetValueAt(HKEY_LOCAL_MACHINE, kLegacyWindows, L"LoadAppInit_DLLs", REG_DWORD, Dword(1));
  Follow([&] { return frame.StatusBar.Text(2) != L"Not loaded: LoadAppInit_DLLs is 0" && frame.RowItem(0)->Settled(); });
  EXPECT_EQ(SnapshotAt(HKEY_LOCAL_MACHINE, kLegacyWindows32)[L"LoadAppInit_DLLs"].data, Dword(1));
  SelectNode(frame, "LOCAL MACHINE", "Run (Remote Desktop install)");
  PumpUntilIdle();
  SetValueAt(HKEY_LOCAL_MACHINE, kRemoteDesktopKeys[0], L"Later", REG_SZ, Utf16(L"C:\\rd\\later.exe"));
  Follow([&] { return frame.RowOf(L"Later") >= 0; });

  // What a place refuses is refused by the command too, nothing written.
  SelectNode(frame, "CURRENT USER", "Logon script");
  PumpUntilIdle();
  const TakenEntries script = TakeRow(frame, L"UserInitMprLogonScript");
  SelectNode(frame, "LOCAL MACHINE", "Winlogon");
  PumpUntilIdle();
  const EntryRef shell = TakeRow(frame, L"Shell").Single()->ref;
  const auto snapshot = [] {
    return std::vector{SnapshotAt(HKEY_CURRENT_USER, kEnvironment), SnapshotAt(HKEY_LOCAL_MACHINE, kWinlogon)};
  };
  const auto before = snapshot();
  const size_t records = KeptRecords().size();
  const std::pair<std::function<void()>, std::string> refused[] = {
      {[&] { AddEntry(*script.node, L"Path", L"C:\\x.exe"); },
       "'Path' is not a name this place takes: it takes only 'UserInitMprLogonScript'"},
      {[&] { ChangeEntry(script.Single()->ref, L"Other", L"C:\\x.exe"); }, "'UserInitMprLogonScript' cannot be renamed in this place"},
      {[&] { DeleteEntry(shell); }, "'Shell' cannot be deleted in this place"},
      {[&] { ChangeEntry(shell, L"Shell", L"C:\\x.exe"); }, "'Shell' cannot be changed in this place"},
  };
  ExpectRefused(refused);
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(KeptRecords().size(), records);
}

// RunOnceEx: each section's entry values and the Depend values (of the key
// and of a section) as rows, each form's program looked up; the key's
// Title and Flags and a section's default value are no entries. Two rows
// of one look (a value named "Depend\1" in a section, and "1" in its
// Depend subkey) stay two entries: Delete takes the one chosen.
TEST_F(LogonPlacesTest, RunOnceExSectionsAndDependValues) {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const std::string key = kRunOnceExKeys[0];
  SetValueAt(HKEY_LOCAL_MACHINE, key, L"Title", REG_SZ, Utf16(L"Setup"));
  SetValueAt(HKEY_LOCAL_MACHINE, key, L"Flags", REG_DWORD, Dword(0x20));
  SetValueAt(HKEY_LOCAL_MACHINE, key + "\\0001", L"", REG_SZ, Utf16(L"First section"));
  SetValueAt(HKEY_LOCAL_MACHINE, key + "\\0001", L"1", REG_SZ, Utf16(L"C:\\x\\l\u00efb.dll|DllInstall|/i"));
  SetValueAt(HKEY_LOCAL_MACHINE, key + "\\0001", L"2", REG_SZ, Utf16(L"||" + std::wstring(system) + L"\\cmd.exe /c echo"));
  SetValueAt(HKEY_LOCAL_MACHINE, key + "\\0001\\Depend", L"x", REG_SZ, Utf16(L"C:\\gone\\dep.dll"));
  SetValueAt(HKEY_LOCAL_MACHINE, key + "\\Depend", L"d", REG_SZ, Utf16(std::wstring(system) + L"\\kernel32.dll"));
  SetValueAt(HKEY_LOCAL_MACHINE, key + "\\0002", L"Depend\\1", REG_SZ, Utf16(L"C:\\in-section.exe"));
  SetValueAt(HKEY_LOCAL_MACHINE, key + "\\0002\\Depend", L"1", REG_SZ, Utf16(L"C:\\in-depend.dll"));
  SetValueAt(HKEY_LOCAL_MACHINE, kRunOnceExKeys[1] + std::string("\\W"), L"1", REG_SZ, Utf16(L"||C:\\w\u00f6w.exe"));
  SetValueAt(HKEY_CURRENT_USER, key + "\\U", L"1", REG_SZ, Utf16(L"C:\\u.exe"));
  ManagerDriver& frame = Open("LOCAL MACHINE", "Run Once Ex");
  const struct {
    const wchar_t* name;
    const wchar_t* mark;  // null: settled and not missing
  } rows[] = {{L"0001\\1", L"Missing"}, {L"0001\\2", nullptr}, {L"0001\\Depend\\x", L"Missing"}, {L"Depend\\d", nullptr}};
  EXPECT_EQ(Rows(frame), (std::vector<std::wstring>{L"0001\\1", L"0001\\2", L"0001\\Depend\\x", L"0002\\Depend\\1",
                                                    L"0002\\Depend\\1", L"Depend\\d"}));
  for (const auto& r : rows) {
    SCOPED_TRACE(A(r.name));
    const TakenEntries taken = TakeRow(frame, r.name);
    EXPECT_TRUE(Enabled(Command::Change, taken) && Enabled(Command::Delete, taken));
    EXPECT_FALSE(Enabled(Command::Add, taken) || Enabled(Command::Rename, taken));
    Follow([&] {
      return frame.RowItem(frame.lvAutoRun.SelectedIndex())->Settled() &&
             (r.mark ? frame.StatusBar.Text(2) == r.mark : frame.StatusBar.Text(2) != L"Missing");
    });
  }
  // The Depend subkey's "1" goes; the section's "Depend\1" stays.
  const auto section = SnapshotAt(HKEY_LOCAL_MACHINE, key + "\\0002");
  int depend = -1;
  for (int row = 0; row < frame.lvAutoRun.Count(); ++row)
    if (frame.lvAutoRun.Text(row, kPathColumn) == L"C:\\in-depend.dll") depend = row;
  ASSERT_GE(depend, 0);
  frame.lvAutoRun.SelectOnly(depend);
  PumpUntilIdle();
  frame.frame.Execute(Command::Delete, frame.frame.TakeSelection());
  EXPECT_TRUE(SnapshotAt(HKEY_LOCAL_MACHINE, key + "\\0002\\Depend").empty());
  EXPECT_EQ(SnapshotAt(HKEY_LOCAL_MACHINE, key + "\\0002"), section);
  Follow([&] { return frame.RowOf(L"0002\\Depend\\1") >= 0 && frame.lvAutoRun.Count() == 5; });
  EXPECT_EQ(frame.lvAutoRun.Text(frame.RowOf(L"0002\\Depend\\1"), kPathColumn), L"C:\\in-section.exe");
  frame.PressKey('Z', true);
  EXPECT_EQ(ValuesAt(HKEY_LOCAL_MACHINE, key + "\\0002\\Depend")[L"1"], L"C:\\in-depend.dll");
  // Change writes the section's value, its name kept; another program's
  // value in a section's Depend subkey is listed without F5.
  frame.ChangeAsDialogWould(frame.RowOf(L"0001\\1"), L"1", L"C:\\new.dll|Fn");
  EXPECT_EQ(ValuesAt(HKEY_LOCAL_MACHINE, key + "\\0001")[L"1"], L"C:\\new.dll|Fn");
  EXPECT_EQ(ValuesAt(HKEY_LOCAL_MACHINE, key)[L"Title"], L"Setup");
  SetValueAt(HKEY_LOCAL_MACHINE, key + "\\0001\\Depend", L"later", REG_SZ, Utf16(L"C:\\later.dll"));
  Follow([&] { return frame.RowOf(L"0001\\Depend\\later") >= 0; });
  // The 32-bit view's key and the user's are their own nodes.
  for (const auto& [node, row] : {std::pair{"Run Once Ex (32-bit)", L"W\\1"}, std::pair{"Run Once Ex", L"U\\1"}}) {
    SelectNode(frame, std::string(node).find("32") != std::string::npos ? "LOCAL MACHINE" : "CURRENT USER", node);
    PumpUntilIdle();
    EXPECT_EQ(Rows(frame), std::vector<std::wstring>{row}) << node;
  }
}
