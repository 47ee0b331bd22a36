// The list moves under the user's hand: another program writes while an
// edit box or the popup is open, just before a command, or between a
// command and its undo. Each command acts on the entries taken when the
// user acted, or says why not, naming them; nothing else changes.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "ManagerFixture.h"
#include "common/FileTools.h"
#include "manager/ProgramLookup.h"
#include "manager/RecordStore.h"

namespace {

// Another program's hand: the change is made on a thread of its own.
void Elsewhere(const std::function<void()>& change) { std::thread(change).join(); }

constexpr DWORD kFollowDeadlineMs = 5000;
const std::vector<BYTE> kOff = {3, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
const std::vector<BYTE> kOffElsewhere = {3, 0, 0, 0, 9, 9, 9, 9, 9, 9, 9, 9};

class MovingListTest : public BothViewsTest {
 protected:
  const std::string run = RunKeyPath("Run"), switches = RunKeyPath(SwitchKey("Run").c_str());
  ManagerDriver* frame = nullptr;

  void SetUp() override {
    BothViewsTest::SetUp();
    for (const char* name : {"Apple", "Berry", "Cherry"})
      sandbox.SetValue(HKEY_CURRENT_USER, "Run", name, std::string("C:\\") + name + ".exe");
    sandbox.SetValue(HKEY_CURRENT_USER, "RunOnce", "Berry", "C:\\namesake.exe");
  }
  ManagerDriver& OpenRun() { return *(frame = &Open("CURRENT USER", "Run")); }
  void Follow(const std::function<bool()>& shown) { ASSERT_TRUE(PumpUntil(shown, kFollowDeadlineMs)); }
  // Long enough for the watch to have told the frame.
  static void Linger() { PumpUntil([] { return false; }, 400); }
  // F2 on `from`; `meanwhile` runs while the edit box is open; then `to`
  // is typed and Enter pressed.
  void RenameInRow(const char* from, const std::wstring& to, const std::function<void()>& meanwhile) {
    SelectRow(*frame, from);
    frame->PressKey(VK_F2);
    meanwhile();
    const HWND edit = reinterpret_cast<HWND>(SendMessageW(frame->lvAutoRun, LVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, to.c_str());
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    PumpUntilIdle();
  }
  std::vector<std::string> RunNames() { return sandbox.Names(HKEY_CURRENT_USER, "Run"); }
  void RenameInPlaceAndWait(const char* from, const std::wstring& to) { RenameInRow(from, to, [] {}); }
};

}  // namespace

// F2 and the popup keep the entry they were opened on, whatever another
// program does meanwhile; an entry gone since is refused by name.
TEST_F(MovingListTest, CommandsActOnTheEntryTakenWhenTheUserActed) {
  OpenRun();
  // A row above the edited one goes: the rename still reaches Berry, and
  // the row goes once the edit has ended.
  RenameInRow("Berry", L"Blueberry", [&] {
    Elsewhere([&] { RegDeleteKeyValueW(HKEY_CURRENT_USER, W(run).c_str(), L"Apple"); });
    Linger();
  });
  Follow([&] { return frame->RowOf(L"Apple") < 0; });
  EXPECT_EQ(RunNames(), (std::vector<std::string>{"Blueberry", "Cherry"}));
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "Cherry"), "C:\\Cherry.exe");
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "RunOnce", "Berry"), "C:\\namesake.exe");

  // Sorted by name, a value added above moves the edited row down; its
  // command is rewritten meanwhile as an expandable string without its
  // closing NUL: the rename takes the bytes as they are stored.
  frame->ClickHeader(kNameColumn);
  const std::vector<BYTE> unterminated = {'%', 0, 'x', 0, '%', 0};
  RenameInRow("Blueberry", L"Bilberry", [&] {
    Elsewhere([&] {
      SetValueAt(HKEY_CURRENT_USER, run, L"Aardvark", REG_SZ, Utf16(L"C:\\a.exe"));
      SetValueAt(HKEY_CURRENT_USER, run, L"Blueberry", REG_EXPAND_SZ, unterminated);
    });
    Linger();
  });
  Follow([&] { return frame->RowOf(L"Aardvark") == 0; });
  EXPECT_EQ(SnapshotAt(HKEY_CURRENT_USER, run)[L"Bilberry"], (StoredBytes{true, REG_EXPAND_SZ, unterminated}));
  EXPECT_EQ(RunNames(), (std::vector<std::string>{"Aardvark", "Bilberry", "Cherry"}));

  // The edited entry itself goes: refused by name, nothing else renamed.
  driver.AnswerMessageBox();
  RenameInRow("Cherry", L"Damson", [&] {
    Elsewhere([&] { RegDeleteKeyValueW(HKEY_CURRENT_USER, W(run).c_str(), L"Cherry"); });
    Linger();
  });
  Follow([&] { return frame->RowOf(L"Cherry") < 0; });
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{"Value 'Cherry' does not exist."}));
  EXPECT_EQ(RunNames(), (std::vector<std::string>{"Aardvark", "Bilberry"}));

  // The popup is opened on Bilberry; it goes while the menu is open. The
  // merge selects the neighbour, which Delete must not take.
  SelectRow(*frame, "Bilberry");
  const size_t records = KeptRecords().size();
  frame->OpenPopup();
  Elsewhere([&] { RegDeleteKeyValueW(HKEY_CURRENT_USER, W(run).c_str(), L"Bilberry"); });
  Follow([&] { return frame->RowOf(L"Bilberry") < 0; });
  driver.AnswerMessageBox();
  frame->ChooseOpened(frame->miDelete);
  EXPECT_EQ(driver.boxTexts.back(), "Value 'Bilberry' does not exist.");
  EXPECT_EQ(RunNames(), (std::vector<std::string>{"Aardvark"}));
  EXPECT_EQ(KeptRecords().size(), records);

  // With two rows selected, Enter changes the focused one.
  SetValueAt(HKEY_CURRENT_USER, run, L"Zucchini", REG_SZ, Utf16(L"C:\\z.exe"));
  Follow([&] { return frame->RowOf(L"Zucchini") >= 0; });
  frame->ClickRow(frame->RowOf(L"Zucchini"));
  frame->ClickRow(frame->RowOf(L"Aardvark"), false, false, true);
  std::wstring nameShown;
  driver.When("TAutoRunItemDlg", [&](HWND dialog) {
    nameShown = WindowTextW(FindWindowExA(dialog, nullptr, "Edit", nullptr));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
  frame->PressKey(VK_RETURN);
  PumpUntil([&] { return driver.Done(); });
  EXPECT_EQ(nameShown, L"Aardvark");
}

// "Disable" leaves an entry off, "Enable" on, whatever another program did
// while the menu was open; one already so is not written, kept or undone.
// Undo compares the value and the switch with what the command left.
TEST_F(MovingListTest, SwitchesEndAsNamedAndUndoNeverOverwrites) {
  OpenRun();
  frame->ClickRow(frame->RowOf(L"Apple"));
  frame->ClickRow(frame->RowOf(L"Berry", L"HKEY_CURRENT_USER\\" + W(run)), false, false, true);
  frame->ClickRow(frame->RowOf(L"Cherry"), false, false, true);
  frame->OpenPopup();
  ASSERT_EQ(A(frame->pmAutoRun.Caption(3)), "Disable");
  Elsewhere([&] { SetValueAt(HKEY_CURRENT_USER, switches, L"Berry", REG_BINARY, kOffElsewhere); });
  Follow([&] { return frame->lvAutoRun.CheckOf(frame->RowOf(L"Berry")) == ui::ListView::Check::Cleared; });
  frame->ChooseOpened(frame->miSwitch);
  auto stored = SnapshotAt(HKEY_CURRENT_USER, switches);
  EXPECT_EQ(stored[L"Berry"].data, kOffElsewhere);  // off already: not written
  for (const wchar_t* name : {L"Apple", L"Cherry"}) EXPECT_EQ(stored[name].data.at(0), 3) << A(name);
  EXPECT_EQ(KeptRecords().size(), 2u);  // Apple's and Cherry's switches, not Berry's
  EXPECT_TRUE(driver.boxTexts.empty());

  // Renamed with its switch; another program then changes the switch.
  RenameInPlaceAndWait("Cherry", L"Date");
  ASSERT_TRUE(HasValueAt(HKEY_CURRENT_USER, switches, L"Date"));
  Elsewhere([&] { SetValueAt(HKEY_CURRENT_USER, switches, L"Date", REG_BINARY, kOffElsewhere); });
  // Undo of the rename refuses; so does undo of Cherry's switch, whose
  // entry has gone since; then Apple's is taken back.
  for (int i = 0; i < 3; ++i) {
    driver.AnswerMessageBox();
    frame->PressKey('Z', true);
    PumpUntilIdle();
  }
  EXPECT_EQ(driver.boxTexts,
            (std::vector<std::string>{"'Date' has changed since.", "'Cherry' has changed since."}));
  stored = SnapshotAt(HKEY_CURRENT_USER, switches);
  EXPECT_EQ(stored[L"Date"].data, kOffElsewhere);
  EXPECT_EQ(stored.count(L"Cherry"), 0u);
  EXPECT_EQ(stored.count(L"Apple"), 0u);  // as before the Disable
  EXPECT_EQ(RunNames(), (std::vector<std::string>{"Apple", "Berry", "Date"}));
  PumpUntil([&] { return driver.Done(); }, 1000);
}

// Another program's change is listed however it lands: just before the
// user's own command in the same key, with the key deleted and made
// again. A merge keeps what the user sees: the selection, the focus, the
// row at the top.
TEST_F(MovingListTest, NoForeignChangeIsLeftUnlistedAndTheViewStays) {
  for (int i = 0; i < 60; ++i)
    SetValueAt(HKEY_CURRENT_USER, run, L"Row" + std::to_wstring(10 + i), REG_SZ, Utf16(L"C:\\r.exe"));
  OpenRun();
  frame->ClickHeader(kNameColumn);
  frame->ClickRow(frame->RowOf(L"Apple"));
  frame->ClickRow(frame->RowOf(L"Cherry"), false, false, true);
  frame->lvAutoRun.ScrollToTop(frame->RowOf(L"Row40"));
  PumpUntilIdle();
  ASSERT_EQ(frame->lvAutoRun.Text(frame->lvAutoRun.TopIndex()), L"Row40");
  Elsewhere([&] { SetValueAt(HKEY_CURRENT_USER, run, L"Aardvark", REG_SZ, Utf16(L"C:\\a.exe")); });
  Follow([&] { return frame->RowOf(L"Aardvark") >= 0; });
  EXPECT_EQ(frame->lvAutoRun.SelectedCount(), 2);
  EXPECT_TRUE(frame->lvAutoRun.IsSelected(frame->RowOf(L"Apple")));
  EXPECT_TRUE(frame->lvAutoRun.IsFocused(frame->RowOf(L"Cherry")));
  EXPECT_EQ(frame->lvAutoRun.Text(frame->lvAutoRun.TopIndex()), L"Row40");

  // Written a moment before the user's Delete, in the same key: the
  // command's own stamp includes it, and still it is listed.
  SelectRow(*frame, "Berry");
  Elsewhere([&] { SetValueAt(HKEY_CURRENT_USER, run, L"Sneaky", REG_SZ, Utf16(L"C:\\s.exe")); });
  SendMessageW(frame->lvAutoRun, WM_KEYDOWN, VK_DELETE, 1);
  EXPECT_TRUE(PumpUntil([&] { return frame->RowOf(L"Sneaky") >= 0; }, kFollowDeadlineMs));
  EXPECT_LT(frame->RowOf(L"Berry", L"HKEY_CURRENT_USER\\" + W(run)), 0);

  // The key deleted: its rows go; made again: watched again.
  Elsewhere([&] { RegDeleteTreeW(HKEY_CURRENT_USER, W(run).c_str()); });
  Follow([&] { return frame->lvAutoRun.Count() == 0; });
  Elsewhere([&] { SetValueAt(HKEY_CURRENT_USER, run, L"Phoenix", REG_SZ, Utf16(L"C:\\p.exe")); });
  EXPECT_TRUE(PumpUntil([&] { return frame->RowOf(L"Phoenix") >= 0; }, kFollowDeadlineMs));
  Elsewhere([&] { SetValueAt(HKEY_CURRENT_USER, run, L"Phoenix2", REG_SZ, Utf16(L"C:\\p.exe")); });
  EXPECT_TRUE(PumpUntil([&] { return frame->RowOf(L"Phoenix2") >= 0; }, kFollowDeadlineMs));
}

// The store never loses a record: not the running command's after the
// clock was put back, not the oldest for a command that was refused; a
// damaged index is written again once; several records are deleted or
// restored together.
TEST_F(MovingListTest, RecordsAreNeverLostByTheStore) {
  EntryRecord filler;
  filler.location = W(LocationText(HKEY_CURRENT_USER, "RunServices"));
  filler.value = StoredBytes{true, REG_SZ, Utf16(L"C:\\f.exe")};
  for (int i = 0; i < 999; ++i) {
    filler.name = L"filler " + std::to_wstring(i);
    KeepRecord(filler);
  }
  // Kept before the clock was set back by a day: its name is later than now.
  filler.name = L"from the future";
  const std::wstring future = KeepRecord(filler), renamed = RecordFolder() + L"\\7fffffffffffffff.reg";
  ASSERT_TRUE(MoveFileW(future.c_str(), renamed.c_str()));
  SetValueAt(HKEY_CURRENT_USER, switches, L"Berry", REG_BINARY, kOff);
  const std::wstring oldest = KeptRecords().front();
  OpenRun();

  // Refused (the switches' key may not be written): no record goes.
  sandbox.MakeReadOnly(HKEY_CURRENT_USER, switches);
  SelectRow(*frame, "Berry");
  driver.AnswerMessageBox();
  frame->PressKey(VK_DELETE);
  sandbox.MakeWritable(HKEY_CURRENT_USER, switches);
  ASSERT_EQ(driver.boxTexts.size(), 1u);
  EXPECT_TRUE(sandbox.HasValue(HKEY_CURRENT_USER, "Run", "Berry"));
  EXPECT_EQ(KeptRecords().size(), 1000u);
  EXPECT_EQ(KeptRecords().front(), oldest);

  // The 1,001st: the oldest goes, Apple's own stays and undo finds it.
  SelectRow(*frame, "Apple");
  frame->PressKey(VK_DELETE);
  EXPECT_EQ(KeptRecords().size(), 1000u);
  EXPECT_NE(KeptRecords().front(), oldest);
  frame->PressKey('Z', true);
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTexts.size(), 1u) << driver.boxTexts.back();
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "Apple"), "C:\\Apple.exe");

  // A damaged index is written again from the records, once.
  const std::wstring index = RecordFolder() + L"\\index.bin";
  std::vector<BYTE> bytes;
  ASSERT_TRUE(ReadWholeFile(index, bytes));
  bytes.insert(bytes.end(), {0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3});
  ASSERT_EQ(WriteWholeFile(index, bytes, true), DWORD(ERROR_SUCCESS));
  std::vector<size_t> sizes;
  for (int i = 0; i < 3; ++i) {
    SelectNode(*frame, "REMOVED");
    ReadWholeFile(index, bytes);
    sizes.push_back(bytes.size());
    SelectNode(*frame, "CURRENT USER", "Run");
  }
  EXPECT_EQ(sizes[1], sizes[0]);
  EXPECT_EQ(sizes[2], sizes[0]);

  // Three records selected: one question, all three go; two restored in turn.
  SelectNode(*frame, "REMOVED");
  frame->ClickRow(0);
  for (int row = 1; row < 5; ++row) frame->ClickRow(row, false, false, true);
  frame->ClickRow(4, false, false, true);  // four selected: 0..3
  ASSERT_EQ(frame->lvAutoRun.SelectedCount(), 4);
  driver.AnswerMessageBox(IDYES);
  frame->PressKey(VK_DELETE);
  EXPECT_NE(driver.boxTexts.back().find("these 4 entries"), std::string::npos) << driver.boxTexts.back();
  EXPECT_EQ(KeptRecords().size(), 995u);  // Apple's went with its undo
  frame->ClickRow(0);
  frame->ClickRow(1, false, false, true);
  frame->Choose(frame->miRestore);
  EXPECT_EQ(KeptRecords().size(), 993u);
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "RunServices").size(), 2u);
  EXPECT_EQ(driver.boxTexts.size(), 2u);
}

// A name the edit box cannot hold whole goes to the item dialog; a name
// the registry editor's file cannot hold is not exported; the user's own
// entries are never marked new.
TEST_F(MovingListTest, LongNamesExportAndTheUsersOwnMarks) {
  const std::wstring longName(300, L'n');
  SetValueAt(HKEY_CURRENT_USER, run, longName, REG_SZ, Utf16(L"C:\\long.exe"));
  SetValueAt(HKEY_CURRENT_USER, run, L"two\nlines", REG_SZ, Utf16(L"C:\\two.exe"));
  OpenRun();
  std::wstring nameShown;
  driver.When("TAutoRunItemDlg", [&](HWND dialog) {
    nameShown = WindowTextW(FindWindowExA(dialog, nullptr, "Edit", nullptr));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
  frame->ClickRow(frame->RowOf(longName));
  frame->PressKey(VK_F2);
  PumpUntil([&] { return driver.Done(); });
  EXPECT_EQ(nameShown, longName);

  frame->ClickRow(frame->RowOf(L"two\nlines"));
  driver.AnswerMessageBox();
  frame->Choose(frame->miExport);
  ASSERT_EQ(driver.boxTexts.size(), 1u);
  EXPECT_NE(driver.boxTexts[0].find("cannot be exported"), std::string::npos) << driver.boxTexts[0];

  // Closed and opened again, so that a last look exists; the user adds
  // one entry, another program another; after F5 only that one is new.
  window.reset();
  OpenRun();
  frame->AddAsDialogWould(L"Mine", L"C:\\windows\\notepad.exe");
  Elsewhere([&] { SetValueAt(HKEY_CURRENT_USER, run, L"Theirs", REG_SZ, Utf16(L"C:\\windows\\notepad.exe")); });
  Follow([&] { return frame->RowOf(L"Theirs") >= 0; });
  frame->PressKey(VK_F5);
  PumpUntilIdle();
  SelectRow(*frame, "Mine");
  EXPECT_NE(frame->StatusBar.Text(2), L"New");
  SelectRow(*frame, "Theirs");
  EXPECT_EQ(frame->StatusBar.Text(2), L"New");
}

// A program on a share is looked up off the window's thread; closing the
// manager while the server holds that query waits at most two seconds.
TEST_F(MovingListTest, AStuckShareNeverHoldsTheWindowOrItsClosing) {
  static HANDLE answer = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ResetEvent(answer);
  SetNetworkProbe([](const std::wstring&) {
    WaitForSingleObject(answer, 20000);  // a server that does not answer
    return PathKind::File;
  });
  struct ProbeBack {
    ~ProbeBack() {
      SetEvent(answer);
      SetNetworkProbe(nullptr);
    }
  } probeBack;
  SetValueAt(HKEY_CURRENT_USER, run, L"Shared", REG_SZ, Utf16(L"\\\\server\\share\\velnetapp.exe /tray"));
  OpenRun();
  const DWORD clicked = GetTickCount();
  frame->ClickRow(frame->RowOf(L"Shared"));
  EXPECT_LT(GetTickCount() - clicked, 1000u) << "the click waited for the share";
  EXPECT_EQ(frame->ListedItem(frame->RowOf(L"Shared"))->Presence, RowPresence::Remote);
  const DWORD closing = GetTickCount();
  window.reset();
  EXPECT_LT(GetTickCount() - closing, kStuckQueryMs + 1500) << "closing waited for the share";
}

// The undo stack without a window: newest first, a step that cannot be
// taken back leaves the stack and says why, the step before still can.
TEST(UndoStackTest, NewestFirstAndNeverOverAnotherProgramsWrite) {
  AutorunSandbox sandbox;
  SetWow64ViewForTesting(0);
  sandbox.EmptyKey(HKEY_CURRENT_USER, "Run");
  TAutoRunNode node;
  node.Location = Location::Parse(W(LocationText(HKEY_CURRENT_USER, "Run")));
  node.AllowsAdd = true;
  UndoStack stack;
  for (const wchar_t* name : {L"One", L"Two"}) {
    UndoStep step;
    AddEntry(node, name, L"C:\\app.exe", &step);
    stack.Push(std::move(step));
  }
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), L"Two", REG_SZ, Utf16(L"C:\\theirs.exe"));
  try {
    stack.UndoNewest();
    ADD_FAILURE() << "undo overwrote another program's write";
  } catch (const EVelmoraError& error) {
    EXPECT_STREQ(error.what(), "'Two' has changed since");
  }
  ASSERT_EQ(stack.Size(), 1u);
  EXPECT_EQ(stack.UndoNewest().name, L"One");
  EXPECT_TRUE(stack.Empty());
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"Two"}));
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "Two"), "C:\\theirs.exe");
  SetWow64ViewForTesting(-1);
}
