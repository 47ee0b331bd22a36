// What the list tells of each entry and how it is worked from the keys
// and the header: the program's publisher and description, the sort.
#include <gtest/gtest.h>

#include <cstring>

#include "ManagerFixture.h"
#include "common/ShellLink.h"
#include "manager/RowStore.h"

#include <thread>

namespace {

// The programs with version resources, built beside the tests.
std::wstring TestProgram(const wchar_t* name) { return BuiltProgram(L"tests", name); }

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
  // None of them is signed: once verified, the claim is marked so.
  const auto claimed = [](const std::wstring& company) {
    return company.empty() ? company : L"(Not verified) " + company;
  };
  for (const auto& c : cases) {
    const int row = frame.RowOf(c.name);
    ASSERT_GE(row, 0) << A(c.name);
    EXPECT_TRUE(PumpUntil([&] { return frame.lvAutoRun.Text(row, 2) == claimed(c.publisher); }, 20000))
        << A(c.name) << ": " << A(frame.lvAutoRun.Text(row, 2));
    EXPECT_EQ(frame.lvAutoRun.Text(row, 3), c.description) << A(c.name);
  }
  const int shortcut = frame.RowOf(L"cyrillic.lnk");
  ASSERT_GE(shortcut, 0);
  EXPECT_EQ(frame.lvAutoRun.Text(shortcut, 2), claimed(kadr));
  EXPECT_EQ(frame.lvAutoRun.Text(shortcut, 3), viewer);
  EXPECT_EQ(frame.lvAutoRun.Text(frame.RowOf(L"plain.exe"), 2), L"");
  SaveWindowPicture(frame.Handle(), "manager-columns.bmp");
}

namespace {
std::vector<std::wstring> ShownNames(const ManagerDriver& frame) {
  std::vector<std::wstring> names;
  for (int row = 0; row < frame.lvAutoRun.Count(); ++row) names.push_back(frame.lvAutoRun.Text(row, 0));
  return names;
}
}  // namespace

// A header click sorts, a second reverses; the order holds through a
// change made elsewhere, an add and Refresh, and the selection stays on
// its entry throughout.
TEST_F(ColumnsTest, AHeaderClickSortsAndTheOrderHolds) {
  const std::string run = RunKeyPath("Run");
  const std::wstring runLocation = L"HKEY_CURRENT_USER\\" + W(run);
  const std::wstring beta = L"\u0411\u0435\u0442\u0430";
  const std::pair<std::wstring, std::wstring> values[] = {
      {L"App10", TestProgram(L"untranslated.exe")}, {L"app2", TestProgram(L"cyrillic.exe")},
      {L"App1", TestProgram(L"multilingual.exe")},  {beta, L"C:\\gone.exe"},
      {L"alpha", TestProgram(L"untranslated.exe")},
  };
  for (const auto& value : values) SetValueAt(HKEY_CURRENT_USER, run, value.first, REG_SZ, Utf16(value.second));
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath("RunOnce"), L"app2", REG_SZ, Utf16(L"C:\\namesake.exe"));
  ManagerDriver& frame = Open("CURRENT USER", "");
  SetWindowPos(window->Handle(), nullptr, 0, 0, 1000, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  frame.ClickRow(frame.RowOf(L"app2", runLocation));
  using Mark = ui::ListView::SortMark;
  const struct {
    int column;
    std::vector<std::wstring> order;
    Mark mark;
  } clicks[] = {
      {kNameColumn, {L"alpha", L"App1", L"app2", L"app2", L"App10", beta}, Mark::Up},
      {kNameColumn, {beta, L"App10", L"app2", L"app2", L"App1", L"alpha"}, Mark::Down},
      // No publisher first, ties by name; the Cyrillic publisher last.
      {kPublisherColumn, {L"app2", beta, L"App1", L"alpha", L"App10", L"app2"}, Mark::Up},
      {kNameColumn, {L"alpha", L"App1", L"app2", L"app2", L"App10", beta}, Mark::Up},
  };
  for (const auto& click : clicks) {
    frame.ClickHeader(click.column);
    EXPECT_EQ(ShownNames(frame), click.order) << click.column;
    EXPECT_EQ(frame.lvAutoRun.SortMarkOf(click.column), click.mark);
    EXPECT_EQ(Selected(frame), runLocation + L"|app2");
  }
  std::thread([&] { SetValueAt(HKEY_CURRENT_USER, run, L"App3", REG_SZ, Utf16(L"C:\\app3.exe")); }).join();
  EXPECT_TRUE(PumpUntil([&] { return frame.RowOf(L"App3") >= 0; }, 5000));
  EXPECT_EQ(Selected(frame), runLocation + L"|app2");
  SelectNode(frame, "CURRENT USER", "Run");
  frame.AddAsDialogWould(L"App05", L"C:\\app05.exe");
  const std::vector<std::wstring> merged = {L"alpha", L"App1", L"app2", L"App3", L"App05", L"App10", beta};
  EXPECT_EQ(ShownNames(frame), merged);
  EXPECT_EQ(Selected(frame), runLocation + L"|App05");
  frame.ClickRow(frame.RowOf(L"app2", runLocation));
  frame.PressKey(VK_F5);
  EXPECT_EQ(ShownNames(frame), merged);
  EXPECT_EQ(Selected(frame), runLocation + L"|app2");
}

// Three entries selected with Ctrl+click, the second in a key the user
// may not write: Delete removes the first, names the second in one
// message and leaves it and the third as they were; Ctrl+C copies all
// three; the popup's "Disable" switches each selected entry.
TEST_F(ColumnsTest, SeveralSelectedRowsAreTakenInTurn) {
  const std::wstring user = L"HKEY_CURRENT_USER\\";
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "First", "C:\\first.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "Switched", "C:\\switched.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "RunOnce", "Second", "C:\\second.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "RunServices", "Third", "C:\\third.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "RunServicesOnce", "First", "C:\\namesake.exe");
  sandbox.MakeReadOnly(HKEY_CURRENT_USER, RunKeyPath("RunOnce"));
  ManagerDriver& frame = Open("CURRENT USER", "");
  frame.ClickRow(frame.RowOf(L"First", user + W(RunKeyPath("Run"))));
  frame.ClickRow(frame.RowOf(L"Second"), false, false, true);
  frame.ClickRow(frame.RowOf(L"Third"), false, false, true);
  ASSERT_EQ(frame.lvAutoRun.SelectedCount(), 3);

  frame.PressKey('C', true);
  EXPECT_EQ(ClipboardText(), L"First\tC:\\first.exe\r\nSecond\tC:\\second.exe\r\nThird\tC:\\third.exe");

  driver.AnswerMessageBox();
  frame.PressKey(VK_DELETE);
  ASSERT_EQ(driver.boxTextsW.size(), 1u);
  EXPECT_NE(driver.boxTextsW[0].find(L"'Second'"), std::wstring::npos) << A(driver.boxTextsW[0]);
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"Switched"}));
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "RunOnce"), (std::vector<std::string>{"Second"}));
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "RunServices"), (std::vector<std::string>{"Third"}));
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "RunServicesOnce", "First"), "C:\\namesake.exe");
  EXPECT_LT(frame.RowOf(L"First", user + W(RunKeyPath("Run"))), 0);
  EXPECT_EQ(Selected(frame), user + W(RunKeyPath("RunOnce")) + L"|Second");

  frame.ClickRow(frame.RowOf(L"Switched"));
  frame.ClickRow(frame.RowOf(L"Third"), false, false, true);  // no switch: passed over
  frame.Choose(frame.miSwitch);
  EXPECT_EQ(frame.lvAutoRun.CheckOf(frame.RowOf(L"Switched")), ui::ListView::Check::Cleared);
  EXPECT_TRUE(sandbox.HasValue(HKEY_CURRENT_USER, SwitchKey("Run").c_str(), "Switched"));
}

// "Properties" opens the shell's sheet of the program a value starts, of
// a Startup row's own file, of a system program through the native
// folder; a row whose program is gone offers none.
TEST_F(ColumnsTest, PropertiesShowTheProgramsSheet) {
  const std::string run = RunKeyPath("Run");
  SetValueAt(HKEY_CURRENT_USER, run, L"Photos", REG_SZ, Utf16(L"\"" + TestProgram(L"cyrillic.exe") + L"\" /x"));
  SetValueAt(HKEY_CURRENT_USER, run, L"Editor", REG_SZ, Utf16(L"notepad.exe %1"));
  SetValueAt(HKEY_CURRENT_USER, run, L"Gone", REG_SZ, Utf16(L"C:\\gone\\gone.exe"));
  std::wstring link;
  ASSERT_EQ(CreateShortcut(W(sandbox.UserStartup().Path()), TestProgram(L"library.dll"), L"", L"", link), S_OK);
  ManagerDriver& frame = Open("CURRENT USER", "");
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"Photos", L"cyrillic.exe"}, {L"library.lnk", L"library.lnk"}, {L"Editor", L"notepad.exe"}};
  for (const auto& c : cases) {
    frame.ClickRow(frame.RowOf(c.first));
    std::wstring title;
    driver.When("#32770", [&](HWND sheet) {
      title = WindowTextW(sheet);
      PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    }, "properties of " + A(c.first));
    frame.Choose(frame.miProperties);
    EXPECT_TRUE(PumpUntil([&] { return driver.Done(); }));
    EXPECT_NE(title.find(c.second), std::wstring::npos) << A(title);
  }
  frame.ClickRow(frame.RowOf(L"Gone"));
  frame.OpenPopup();
  EXPECT_FALSE(frame.miProperties.Enabled());
}

// Without a saved layout the window is as wide as the four columns need,
// within the work area of the monitor.
TEST_F(ColumnsTest, TheFirstOpeningShowsEveryColumn) {
  ManagerDriver& frame = Open();
  const HWND header = reinterpret_cast<HWND>(SendMessageW(frame.lvAutoRun, LVM_GETHEADER, 0, 0));
  RECT last{}, list{}, window{}, work{};
  ASSERT_TRUE(SendMessageW(header, HDM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&last)));
  GetClientRect(frame.lvAutoRun, &list);
  EXPECT_LE(last.right, list.right);
  GetWindowRect(GetAncestor(frame.Handle(), GA_ROOT), &window);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_GE(window.left, work.left);
  EXPECT_LE(window.right, work.right);
  EXPECT_GT(window.right - window.left, 549);
  // As tall as every node of the tree needs, within the work area.
  EXPECT_GE(window.top, work.top);
  EXPECT_LE(window.bottom, work.bottom);
  for (HTREEITEM root = frame.tvAutoRun.Root(); root; root = frame.tvAutoRun.NextSibling(root))
    SendMessageW(frame.tvAutoRun, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
  RECT tree{};
  GetClientRect(frame.tvAutoRun, &tree);
  int nodes = 0;
  for (HTREEITEM node = frame.tvAutoRun.Root(); node; node = frame.tvAutoRun.NextInOrder(node), ++nodes) {
    RECT item{};
    std::memcpy(&item, &node, sizeof node);  // the item goes in, its rectangle comes out
    ASSERT_TRUE(SendMessageW(frame.tvAutoRun, TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&item))) << nodes;
    EXPECT_LE(item.bottom, tree.bottom) << nodes;
  }
  EXPECT_GT(nodes, 7);
}
