// The list follows what other programs change while it is open: values
// and files written, renamed, deleted and switched on another thread show
// without Refresh, on the location's node, on its root and in the other
// view; the selection stays on its entry and a burst is folded.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <thread>

#include "ManagerFixture.h"
#include "common/ShellLink.h"
#include "manager/ProgramLookup.h"

namespace {

const std::vector<BYTE> kOff = {3, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};

// Another program's hand: the change is made on a thread of its own.
void Elsewhere(const std::function<void()>& change) { std::thread(change).join(); }

// What the user would wait for; generous, so a loaded machine passes (the
// benchmark measures how long it takes).
constexpr DWORD kFollowDeadlineMs = 5000;

using LiveListTest = BothViewsTest;

}  // namespace

TEST_F(LiveListTest, OtherProgramsChangesShowWithoutRefresh) {
  const std::string run = RunKeyPath("Run"), once = RunKeyPath("RunOnce");
  const std::wstring runLocation = L"HKEY_CURRENT_USER\\" + W(run);
  const struct {
    const char* name;
    std::function<void()> change;
    std::function<bool(ManagerDriver&)> shown;
  } cases[] = {
      {"a value written", [&] { SetValueAt(HKEY_CURRENT_USER, run, L"Added", REG_SZ, Utf16(L"C:\\added.exe")); },
       [](ManagerDriver& f) { return f.RowOf(L"Added") >= 0; }},
      {"a value deleted", [&] { RegDeleteKeyValueW(HKEY_CURRENT_USER, W(run).c_str(), L"Gone"); },
       [](ManagerDriver& f) { return f.RowOf(L"Gone") < 0; }},
      {"a value renamed",
       [&] {
         SetValueAt(HKEY_CURRENT_USER, run, L"Renamed2", REG_SZ, Utf16(L"C:\\renamed.exe"));
         RegDeleteKeyValueW(HKEY_CURRENT_USER, W(run).c_str(), L"Renamed");
       },
       [](ManagerDriver& f) { return f.RowOf(L"Renamed") < 0 && f.RowOf(L"Renamed2") >= 0; }},
      {"a command changed", [&] { SetValueAt(HKEY_CURRENT_USER, run, L"Keep", REG_SZ, Utf16(L"C:\\other.exe")); },
       [](ManagerDriver& f) { return f.lvAutoRun.Text(f.RowOf(L"Keep"), 1) == L"C:\\other.exe"; }},
      {"a switch turned off", [&] { SetValueAt(HKEY_CURRENT_USER, RunKeyPath(SwitchKey("Run").c_str()), L"Keep", REG_BINARY, kOff); },
       [](ManagerDriver& f) { return f.lvAutoRun.CheckOf(f.RowOf(L"Keep")) == ui::ListView::Check::Cleared; }},
  };
  for (const char* root : {"", "CURRENT USER"}) {
    for (const wchar_t* name : {L"Keep", L"Gone", L"Renamed"})
      SetValueAt(HKEY_CURRENT_USER, run, name, REG_SZ, Utf16(L"C:\\keep.exe"));
    SetValueAt(HKEY_CURRENT_USER, once, L"Keep", REG_SZ, Utf16(L"C:\\namesake.exe"));
    ManagerDriver& frame = *root ? Open(root, "") : Open("CURRENT USER", "Run");
    frame.ClickRow(frame.RowOf(L"Keep", runLocation));
    for (const auto& c : cases) {
      Elsewhere(c.change);
      EXPECT_TRUE(PumpUntil([&] { return c.shown(frame); }, kFollowDeadlineMs)) << c.name << " on '" << root << "'";
      EXPECT_EQ(Selected(frame), runLocation + L"|Keep") << c.name;
    }
    if (*root) {
      const int namesake = frame.RowOf(L"Keep", L"HKEY_CURRENT_USER\\" + W(once));
      ASSERT_GE(namesake, 0);
      EXPECT_EQ(frame.lvAutoRun.Text(namesake, 1), L"C:\\namesake.exe");
    }
    EmptyAllKeys();
    RegDeleteKeyA(HKEY_CURRENT_USER, RunKeyPath(SwitchKey("Run").c_str()).c_str());
  }
}

// The 32-bit programs' key on the machine's root, and a Startup folder.
TEST_F(LiveListTest, TheOtherViewAndStartupFilesFollowToo) {
  if (HasWow64RegistryView()) {
    SetValueAt(HKEY_LOCAL_MACHINE, kWow64Run, L"Present", REG_SZ, Utf16(L"C:\\present.exe"));
    ManagerDriver& frame = Open("LOCAL MACHINE", "");
    Elsewhere([] { SetValueAt(HKEY_LOCAL_MACHINE, kWow64Run, L"Wow", REG_SZ, Utf16(L"C:\\wow.exe")); });
    EXPECT_TRUE(PumpUntil([&] { return frame.RowOf(L"Wow", L"HKEY_LOCAL_MACHINE\\" + W(kWow64Run)) >= 0; },
                          kFollowDeadlineMs));
    EXPECT_LT(frame.RowOf(L"Wow", L"HKEY_LOCAL_MACHINE\\" + W(RunKeyPath("Run"))), 0);
  }
  ManagerDriver& frame = Open("CURRENT USER", "Auto Run");
  const std::string path = sandbox.UserStartup().File("tool.exe");
  Elsewhere([&] { sandbox.UserStartup().Write("tool.exe"); });
  EXPECT_TRUE(PumpUntil([&] { return frame.RowOf(L"tool.exe") >= 0; }, kFollowDeadlineMs));
  Elsewhere([&] { DeleteFileA(path.c_str()); });
  EXPECT_TRUE(PumpUntil([&] { return frame.RowOf(L"tool.exe") < 0; }, kFollowDeadlineMs));
}

// A loop of 1,000 writes is folded into a few listings, and the manager's
// own command lists nothing for its own writes.
TEST_F(LiveListTest, ABurstIsFoldedAndOwnWritesListNothing) {
  const std::string run = RunKeyPath("Run");
  SetValueAt(HKEY_CURRENT_USER, run, L"Mine", REG_SZ, Utf16(L"C:\\mine.exe"));
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  PumpUntil([] { return false; }, 300);  // the watch's first look
  const int before = frame.WatchedRelists();
  SelectRow(frame, "Mine");
  frame.PressKey(VK_DELETE);
  PumpUntil([] { return false; }, 500);
  EXPECT_EQ(frame.WatchedRelists(), before) << "the manager's own delete was listed again";
  Elsewhere([&] {
    for (int i = 0; i < 1000; ++i)
      SetValueAt(HKEY_CURRENT_USER, run, L"Burst " + std::to_wstring(i), REG_SZ, Utf16(L"C:\\b.exe"));
  });
  EXPECT_TRUE(PumpUntil([&] { return frame.lvAutoRun.Count() == 1000; }, kFollowDeadlineMs));
  PumpUntil([] { return false; }, 300);
  EXPECT_LE(frame.WatchedRelists() - before, 10);
  EXPECT_EQ(frame.lvAutoRun.Count(), 1000);
}

// An entry added, changed or switched back on between two openings is
// marked in the second; the first opening, what did not change and a
// location the first did not show mark nothing.
TEST_F(LiveListTest, EntriesThatCameBackSinceTheLastLookAreMarked) {
  const std::string run = RunKeyPath("Run"), switches = RunKeyPath(SwitchKey("Run").c_str());
  const std::vector<BYTE> on = {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const TempDir programs;
  const std::wstring app = W(programs.Write("app.exe")), other = W(programs.Write("other.exe"));
  for (const wchar_t* name : {L"Same", L"Changed", L"Again", L"Quiet"})
    SetValueAt(HKEY_CURRENT_USER, run, name, REG_SZ, Utf16(app));
  for (const wchar_t* name : {L"Again", L"Quiet"}) SetValueAt(HKEY_CURRENT_USER, switches, name, REG_BINARY, kOff);
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath("RunOnce"), L"Unseen", REG_SZ, Utf16(app));
  const auto marks = [](ManagerDriver& frame) {
    std::map<std::wstring, std::wstring> shown;
    for (int row = 0; row < frame.lvAutoRun.Count(); ++row) {
      frame.ClickRow(row);
      shown[frame.RowItem(row)->Name] = (frame.RowItem(row)->Mark != EntryMark::None ? L"bold " : L"") +
                                        frame.StatusBar.Text(2);
    }
    return shown;
  };
  EXPECT_EQ(marks(Open("CURRENT USER", "Run")),
            (std::map<std::wstring, std::wstring>{{L"Same", L""}, {L"Changed", L""}, {L"Again", L"Off"}, {L"Quiet", L"Off"}}));
  window.reset();  // closing keeps what it showed
  SetValueAt(HKEY_CURRENT_USER, run, L"Added", REG_SZ, Utf16(app));
  SetValueAt(HKEY_CURRENT_USER, run, L"Changed", REG_SZ, Utf16(other));
  SetValueAt(HKEY_CURRENT_USER, switches, L"Again", REG_BINARY, on);
  EXPECT_EQ(marks(Open("CURRENT USER", "Run")),
            (std::map<std::wstring, std::wstring>{{L"Same", L""},
                                                  {L"Changed", L"bold Changed"},
                                                  {L"Again", L"bold On again"},
                                                  {L"Quiet", L"Off"},
                                                  {L"Added", L"bold New"}}));
  EXPECT_EQ(marks(Open("CURRENT USER", "Run Once")), (std::map<std::wstring, std::wstring>{{L"Unseen", L""}}));
}

// A program on a network path is looked up off the window's thread: its
// row stays plain, and the window answers keys, until the answer comes.
TEST_F(LiveListTest, ANetworkLookupNeverHoldsTheWindow) {
  static HANDLE answer = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ResetEvent(answer);
  SetNetworkProbe([](const std::wstring&) {
    WaitForSingleObject(answer, kStepDeadlineMs);  // a server that does not answer
    return PathKind::File;
  });
  struct ProbeBack {
    ~ProbeBack() { SetNetworkProbe(nullptr); }
  } probeBack;
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), L"Share", REG_SZ, Utf16(L"\\\\server\\share\\app.exe"));
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), L"Local", REG_SZ, Utf16(L"C:\\nowhere\\app.exe"));
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  const int share = frame.RowOf(L"Share"), local = frame.RowOf(L"Local");
  frame.ClickRow(share);
  EXPECT_EQ(frame.ListedItem(share)->Presence, RowPresence::Remote);
  EXPECT_EQ(frame.StatusBar.Text(2), L"");
  frame.PressKey(share < local ? VK_DOWN : VK_UP);
  EXPECT_EQ(frame.lvAutoRun.SelectedIndex(), local);
  EXPECT_EQ(frame.StatusBar.Text(2), L"Missing");
  SetEvent(answer);
  EXPECT_TRUE(PumpUntil([&] { return frame.ListedItem(share)->Settled(); }, kFollowDeadlineMs));
  EXPECT_FALSE(frame.ListedItem(share)->Missing());
}

// A Startup folder of 1,000 shortcuts, the last ten to programs that are
// gone: idle time works every row out, and only those ten are marked.
TEST_F(LiveListTest, IdleTimeWorksOutEveryRowOfAThousandShortcuts) {
  const TempDir programs;
  const std::wstring folder = W(sandbox.UserStartup().Path());
  std::wstring present, gone;
  ASSERT_EQ(CreateShortcut(W(programs.Path()), W(programs.Write("app.exe")), L"", L"", present), S_OK);
  ASSERT_EQ(CreateShortcut(W(programs.Path()), W(programs.Write("gone.exe")), L"", L"", gone), S_OK);
  DeleteFileW((W(programs.Path()) + L"\\gone.exe").c_str());
  for (int i = 0; i < 1000; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"\\Link %04d.lnk", i);
    ASSERT_TRUE(CopyFileW((i < 990 ? present : gone).c_str(), (folder + name).c_str(), FALSE));
  }
  ManagerDriver& frame = Open("CURRENT USER", "Auto Run");
  ASSERT_EQ(frame.lvAutoRun.Count(), 1000);
  const auto allDone = [&] {
    for (int row = 0; row < 1000; ++row)
      if (!frame.ListedItem(row)->Settled()) return false;
    return true;
  };
  EXPECT_TRUE(PumpUntil(allDone, kStepDeadlineMs));
  int missing = 0;
  for (int row = 0; row < 1000; ++row)
    if (frame.ListedItem(row)->Missing()) {
      ++missing;
      EXPECT_GE(frame.ListedItem(row)->Name, L"Link 0990.lnk");
    }
  EXPECT_EQ(missing, 10);
}
