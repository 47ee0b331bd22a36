// The list against a list the user saved: every mark, the rows of entries
// gone since, the counts, what other programs change meanwhile, Stop
// comparing; a list of another profile and of the first format; each bad
// line named while the good ones are compared, nothing written.
#include <fstream>
#include <thread>

#include "ManagerFixture.h"
#include "common/Csv.h"
#include "common/FileTools.h"
#include "manager/EntryCommands.h"
#include "manager/FrameCommands.h"
#include "manager/Pictures.h"
#include "ui/ErrorBox.h"

namespace {

constexpr DWORD kFollowMs = 10000;
const std::vector<BYTE> kSwitchOff = {3, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};

class ComparingTest : public ManagerFixture {
 protected:
  const std::string run = RunKeyPath("Run");
  const std::string switches = RunKeyPath(SwitchKey("Run").c_str());
  TempDir folder;

  void Set(const std::wstring& name, const std::wstring& command) {
    SetValueAt(HKEY_CURRENT_USER, run, name, REG_SZ, Utf16(command));
  }
  // What the compared column says of the row of `name`; "(none)" without a row.
  std::wstring Mark(ManagerDriver& frame, const std::wstring& name) {
    const int row = frame.RowOf(name);
    return row < 0 ? L"(none)" : frame.lvAutoRun.Text(row, kComparedColumn);
  }
  void Follow(const std::function<bool()>& shown, int line = __builtin_LINE()) {
    ASSERT_TRUE(PumpUntil(shown, kFollowMs)) << "line " << line;
  }
  std::wstring WriteList(const std::string& name, const std::string& text) {
    std::ofstream(folder.File(name), std::ios::binary) << text;
    return W(folder.File(name));
  }
};

}  // namespace

TEST_F(ComparingTest, EveryMarkGoneRowsCountsAndStop) {
  EmptyAllKeys();
  const std::wstring tool = W(folder.Write("tool.exe", "MZ the first build"));
  Set(L"kept", L"C:\\kept.exe /a");
  Set(L"deleted", L"C:\\deleted.exe");
  Set(L"changed", L"C:\\changed.exe /1");
  Set(L"switched", L"C:\\switched.exe");
  Set(L"replaced", L"\"" + tool + L"\" /r");
  SetValueAt(HKEY_CURRENT_USER, kLegacyWindows, L"Load", REG_SZ,
             Utf16(tool + L", " + W(folder.Write("other.exe", "MZ another program"))));
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  const std::wstring saved = W(folder.Path()) + L"\\clean \u0437.csv";
  frame.SaveListAsDialogWould(saved);
  std::vector<std::uint8_t> savedBytes;
  ASSERT_TRUE(ReadWholeFile(saved, savedBytes));

  RegDeleteKeyValueW(HKEY_CURRENT_USER, W(run).c_str(), L"deleted");
  Set(L"changed", L"C:\\changed.exe /2");
  SetValueAt(HKEY_CURRENT_USER, switches, L"switched", REG_BINARY, kSwitchOff);
  std::ofstream(folder.File("tool.exe"), std::ios::binary) << "MZ the second build, other bytes";
  const std::wstring formula = L"=HYPERLINK(\"x\")", lineBreak = L"two\r\nlines";
  Set(L"added", L"C:\\added.exe");
  Set(formula, L"-c");
  Set(lineBreak, L"C:\\x.exe");
  frame.CompareAsDialogWould(saved);
  const std::wstring since = L"New since clean \u0437.csv";
  const std::pair<std::wstring, std::wstring> marks[] = {
      {L"kept", L""},         {L"added", since},           {formula, since},
      {lineBreak, since},     {L"changed", L"Command changed"}, {L"switched", L"Switched off"},
      {L"replaced", L"Program changed"}, {L"deleted", L"Gone since clean \u0437.csv"},
  };
  // The program's mark comes with its hash, off the window's thread.
  Follow([&] { return frame.StatusBar.Text(3) == L"3 new, 3 changed, 1 gone"; });
  for (const auto& [name, mark] : marks) EXPECT_EQ(Mark(frame, name), mark) << A(name);
  EXPECT_NE(frame.pnlTop.Text().find(L"Compared with the saved list 'clean \u0437.csv'."), std::wstring::npos);
  SaveWindowPicture(frame.Handle(), "comparing.bmp");

  // A gone row: faded, its saved command, Copy and Export only.
  const int gone = frame.RowOf(L"deleted");
  ASSERT_GE(gone, 0);
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = gone;
  SendMessageW(frame.lvAutoRun, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(item.iImage, imgSkipped);
  EXPECT_EQ(frame.lvAutoRun.Text(gone, 1), L"C:\\deleted.exe");
  frame.ClickRow(gone);
  EXPECT_EQ(frame.StatusBar.Text(2), L"Gone since clean \u0437.csv");
  const TakenEntries taken = frame.frame.TakeSelection();
  for (const CommandInfo& info : Commands()) {
    if (info.id == Command::Add || info.id == Command::Undo || info.id == Command::Refresh) continue;
    EXPECT_EQ(Enabled(info.id, taken),
                info.id == Command::Copy || info.id == Command::Export || info.id == Command::SaveList ||
                    info.id == Command::CompareWithList || info.id == Command::HideWindows ||
                    info.id == Command::StopComparing)
        << static_cast<int>(info.id);
  }
  // Its Export: the saved command as the value a registry editor imports.
  const std::wstring exported = W(folder.File("gone.reg"));
  ExportSavedValue(taken.Single()->ref.location, L"deleted", taken.Single()->command, exported);
  const auto before = SnapshotAt(HKEY_CURRENT_USER, run);
  ASSERT_TRUE(ImportWithRegistryEditor(exported));
  EXPECT_EQ(SnapshotAt(HKEY_CURRENT_USER, run)[L"deleted"], (StoredBytes{true, REG_SZ, Utf16(L"C:\\deleted.exe")}));
  RegDeleteKeyValueW(HKEY_CURRENT_USER, W(run).c_str(), L"deleted");
  EXPECT_EQ(SnapshotAt(HKEY_CURRENT_USER, run), before);
  frame.PressKey(VK_DELETE);
  frame.PressKey(VK_RETURN);
  EXPECT_EQ(SnapshotAt(HKEY_CURRENT_USER, run), before);

  // Other programs' changes keep it current: one comes back, one is new.
  std::thread([&] {
    Set(L"deleted", L"C:\\deleted.exe");
    Set(L"later", L"C:\\later.exe");
  }).join();
  Follow([&] { return frame.StatusBar.Text(3) == L"4 new, 3 changed, 0 gone"; });
  EXPECT_EQ(Mark(frame, L"later"), since);
  EXPECT_EQ(Mark(frame, L"deleted"), L"");

  // Esc in the list stops: the column, the caption and the counts go.
  frame.PressKey(VK_ESCAPE);
  EXPECT_EQ(frame.lvAutoRun.ColumnCount(), 4);
  EXPECT_EQ(frame.pnlTop.Text().find(L"Compared"), std::wstring::npos);
  EXPECT_EQ(frame.StatusBar.Text(3), L"");
  // A list of programs: its first program's hash decides.
  SelectNode(frame, "CURRENT USER", "Load and Run (legacy)");
  frame.CompareAsDialogWould(saved);
  Follow([&] { return Mark(frame, L"Load") == L"Program changed"; });
  // Nothing wrote to the list compared with.
  std::vector<std::uint8_t> after;
  ASSERT_TRUE(ReadWholeFile(saved, after));
  EXPECT_EQ(after, savedBytes);
}

TEST_F(ComparingTest, AnotherProfileFirstFormatAndBadLines) {
  EmptyAllKeys();
  wchar_t appData[MAX_PATH];
  ASSERT_GT(GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH), 0u);
  Set(L"roaming", L"\"" + std::wstring(appData) + L"\\t.exe\" /s");
  Set(L"plain", L"C:\\p.exe");
  Set(L"bystander", L"C:\\b.exe");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  const std::string place = "HKEY_CURRENT_USER\\" + run;
  const std::string header2 =
      "Location,Name,Command,State,Missing,Publisher,Description,Verified signer,Program,SHA-256,Format\r\n";
  const std::wstring other = WriteList(
      "other.csv", header2 + place + ",roaming,\"\"\"C:\\Users\\somebody\\AppData\\Roaming\\t.exe\"\" /s\",on,,,,,,,velmora-list 2\r\n" +
                       place + ",plain,C:\\p.exe,on,,,,,,,velmora-list 2\r\n" + place +
                       ",bystander,C:\\b.exe,on,,,,,,,velmora-list 2\r\n");
  frame.CompareAsDialogWould(other);
  for (const wchar_t* name : {L"roaming", L"plain", L"bystander"}) EXPECT_EQ(Mark(frame, name), L"") << A(name);

  // The first format: names as written, no program column.
  const std::wstring first = WriteList(
      "first.csv", "Location,Name,Command,State,Missing,Publisher,Description,Verified signer,SHA-256\r\n" + place +
                       ",plain,C:\\p2.exe,on,no,,,,\r\n" + place + ",bystander,C:\\b.exe,on,no,,,,\r\n");
  frame.CompareAsDialogWould(first);
  EXPECT_EQ(Mark(frame, L"plain"), L"Command changed");
  EXPECT_EQ(Mark(frame, L"roaming"), L"New since first.csv");
  EXPECT_EQ(Mark(frame, L"bystander"), L"");

  // Bad lines: each named in one message, the good rows compared, nothing written.
  const auto keyBefore = SnapshotAt(HKEY_CURRENT_USER, run);
  const std::wstring bad = WriteList("bad.csv", header2 + place + ",plain,C:\\p.exe\r\n" +
                                                    "Elsewhere,x,y,on,,,,,,,velmora-list 2\r\n" + place +
                                                    ",bystander,C:\\b.exe,on,,,,,,,velmora-list 2\r\n" + place +
                                                    ",BYSTANDER,C:\\c.exe,on,,,,,,,velmora-list 2\r\n" + place +
                                                    ",roaming,\"cut");
  driver.AnswerMessageBox();
  frame.CompareAsDialogWould(bad);
  ASSERT_EQ(driver.boxTextsW.size(), 1u);
  EXPECT_EQ(driver.boxTextsW[0],
            L"Line 2 of 'bad.csv' is left out: it has 3 fields, a row of this list has 11\n"
            L"Line 3 of 'bad.csv' is left out: the place 'Elsewhere' is not one this manager lists\n"
            L"Line 5 of 'bad.csv' is left out: it repeats the entry of line 4\n"
            L"Line 6 of 'bad.csv' is left out: it is cut short: a quoted field is not closed.");
  EXPECT_EQ(Mark(frame, L"bystander"), L"");
  EXPECT_EQ(Mark(frame, L"plain"), L"New since bad.csv");
  // Not a list at all: the comparison before stays.
  driver.AnswerMessageBox();
  frame.CompareAsDialogWould(WriteList("notes.csv", "Name,Value\r\n"));
  ASSERT_EQ(driver.boxTextsW.size(), 2u);
  EXPECT_EQ(driver.boxTextsW[1], L"Line 1 of 'notes.csv' is not the header of a saved list: it reads 'Name'");
  EXPECT_EQ(Mark(frame, L"plain"), L"New since bad.csv");
  EXPECT_EQ(SnapshotAt(HKEY_CURRENT_USER, run), keyBefore);
}

// Save list runs off the window's thread: the caption strip says where it
// is, Esc stops it, and the file saved before stays as it was.
TEST_F(ComparingTest, SavingShowsProgressAndEscStopsIt) {
  EmptyAllKeys();
  for (int at = 0; at < 3000; ++at) Set(L"entry " + std::to_wstring(at), L"C:\\missing\\p" + std::to_wstring(at) + L".exe");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  const std::string earlier = folder.Write("list.csv", "the list saved before");
  ui::RunHandler([&] { frame.frame.SaveListTo(W(earlier)); });
  EXPECT_EQ(frame.pnlTop.Text().rfind(L"Saving the list: ", 0), 0u) << A(frame.pnlTop.Text());
  EXPECT_NE(frame.pnlTop.Text().find(L"(Esc stops)"), std::wstring::npos);
  frame.PressKey(VK_ESCAPE);
  Follow([&] { return !frame.frame.SavingList(); });
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadWholeFile(W(earlier), bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "the list saved before");
  EXPECT_EQ(A(frame.pnlTop.Text()), "You can add new, change or delete existing auto run items.");
  EXPECT_TRUE(driver.boxTexts.empty());
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"list.csv"}));
}
