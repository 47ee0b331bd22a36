// What a command removes or overwrites is kept first, exact to the byte:
// a registry value with its type and switch, a Startup file moved with
// its bytes and times. When nothing can be kept, the command does not act.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "ManagerFixture.h"
#include "common/FileTools.h"
#include "manager/EntryCommands.h"
#include "manager/RecordStore.h"

namespace {

std::vector<BYTE> ReadFileBytes(const std::wstring& path) {
  std::vector<BYTE> bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

// The records kept so far, oldest first: where they are and what they hold.
std::vector<std::pair<std::wstring, EntryRecord>> Records() {
  std::vector<std::pair<std::wstring, EntryRecord>> records;
  for (const std::wstring& kept : KeptRecords()) {
    EntryRecord record;
    EXPECT_TRUE(ReadRecord(kept, record)) << A(kept);
    records.emplace_back(kept, record);
  }
  return records;
}

const std::vector<BYTE> kOff7 = {7, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};

std::map<std::wstring, std::vector<BYTE>> FolderSnapshot(const std::string& folder) {
  std::map<std::wstring, std::vector<BYTE>> files;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((W(folder) + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      files[found.cFileName] = ReadFileBytes(W(folder) + L"\\" + found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return files;
}

using RecordTest = BothViewsTest;

}  // namespace

// Delete keeps the value (name, type, bytes) and its switch before it
// acts, in both roots and views; the namesake beside it stays.
TEST_F(RecordTest, DeleteKeepsTheValueAndItsSwitchExactly) {
  const bool wow64 = HasWow64RegistryView();  // the system's answer in this fixture
  const struct {
    const char* root;
    const char* node;
    HKEY hive;
    std::string path;
    const char* switchKey;
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
  } cases[] = {
      {"CURRENT USER", "Run", HKEY_CURRENT_USER, RunKeyPath("Run"), "Run", L"Q\"uo\\te=\u0416", REG_SZ,
       Utf16(L"\"C:\\\u0424\u043e\u0442\u043e\\a.exe\" /x\r\ny")},
      {"CURRENT USER", "Run Once", HKEY_CURRENT_USER, RunKeyPath("RunOnce"), nullptr, L"once", REG_EXPAND_SZ,
       Utf16(L"%ProgramFiles%\\o.exe")},
      {"LOCAL MACHINE", "Run (32-bit)", HKEY_LOCAL_MACHINE, kWow64Run, "Run32", L"\u65e5", REG_EXPAND_SZ,
       {0x25, 0, 0x41, 0}},  // unterminated: kept as it is
  };
  for (const auto& c : cases) {
    if (c.path == kWow64Run && !wow64) continue;
    SetValueAt(c.hive, c.path, c.name, c.type, c.data);
    SetValueAt(c.hive, c.path, c.name + L" namesake", c.type, c.data);
    if (c.switchKey) SetValueAt(c.hive, RunKeyPath(SwitchKey(c.switchKey).c_str()), c.name, REG_BINARY, kOff7);
    const size_t recordsBefore = Records().size();
    const auto before = SnapshotAt(c.hive, c.path);
    const auto switchesBefore =
        c.switchKey ? SnapshotAt(c.hive, RunKeyPath(SwitchKey(c.switchKey).c_str())) : std::map<std::wstring, StoredBytes>();
    ManagerDriver& frame = Open(c.root, c.node);
    frame.ClickRow(frame.RowOf(c.name));
    frame.PressKey(VK_DELETE);
    EXPECT_FALSE(HasValueAt(c.hive, c.path, c.name)) << c.node;
    EXPECT_TRUE(HasValueAt(c.hive, c.path, c.name + L" namesake")) << c.node;
    const auto records = Records();
    ASSERT_EQ(records.size(), recordsBefore + 1) << c.node;
    const EntryRecord& kept = records.back().second;
    EXPECT_EQ(kept.kind, RecordKind::Removed);
    EXPECT_FALSE(kept.isFile);
    EXPECT_EQ(kept.name, c.name);
    EXPECT_EQ(A(kept.location), (c.hive == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") + c.path);
    EXPECT_EQ(kept.value, (StoredBytes{true, c.type, c.data})) << c.node;
    EXPECT_EQ(kept.switchValue, (c.switchKey ? StoredBytes{true, REG_BINARY, kOff7} : StoredBytes{})) << c.node;
    EXPECT_EQ(records.back().first.substr(records.back().first.size() - 4), L".reg");
    // And back, byte for byte, with its switch.
    frame.PressKey('Z', true);
    EXPECT_EQ(SnapshotAt(c.hive, c.path), before) << c.node;
    if (c.switchKey) {
      EXPECT_EQ(SnapshotAt(c.hive, RunKeyPath(SwitchKey(c.switchKey).c_str())), switchesBefore) << c.node;
    }
  }
  EXPECT_TRUE(driver.boxTexts.empty());
}

// A deleted Startup file is moved into its record under its own name,
// with its bytes and its time of last writing.
TEST_F(RecordTest, DeleteMovesAStartupFileIntoItsRecord) {
  const TempDir& startup = sandbox.UserStartup();
  const std::wstring name = L"\u0422\u0443\u043b.exe";
  const std::wstring path = W(startup.Path()) + L"\\" + name;
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, "MZ program bytes", 16, &written, nullptr);
  FILETIME stamp{0x12345600, 0x01D00000};
  SetFileTime(file, nullptr, nullptr, &stamp);
  CloseHandle(file);
  startup.Write("bystander.exe");
  ManagerDriver& frame = Open("CURRENT USER", "Auto Run");
  frame.ClickRow(frame.RowOf(name));
  frame.PressKey(VK_DELETE);
  EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(startup.Names(), (std::vector<std::string>{"bystander.exe"}));
  const auto records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(records[0].second.isFile);
  EXPECT_EQ(records[0].second.name, name);
  const std::wstring kept = KeptFilePath(records[0].first, name);
  const std::vector<BYTE> bytes = ReadFileBytes(kept);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "MZ program bytes");
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(kept.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, stamp.dwLowDateTime);
  EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, stamp.dwHighDateTime);
}

// Where nothing can be kept (a file stands where the records' folder
// should be), Delete, Change and the switch do not act and say why.
TEST_F(RecordTest, NoCopyNoCommand) {
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), L"kept", REG_SZ, Utf16(L"C:\\k.exe"));
  DeleteTreeOnDisk(A(RecordFolder()));
  const HANDLE blocker = CreateFileW(RecordFolder().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(blocker, INVALID_HANDLE_VALUE);
  CloseHandle(blocker);
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  frame.ClickRow(frame.RowOf(L"kept"));
  driver.AnswerMessageBox();
  frame.PressKey(VK_DELETE);
  driver.When("TAutoRunItemDlg", FillItemDialog(L"renamed", L"C:\\r.exe"));
  driver.AnswerMessageBox();
  frame.tbChange.Click();
  driver.AnswerMessageBox();
  frame.ClickRow(frame.RowOf(L"kept"), true);
  PumpUntilIdle();
  DeleteTreeOnDisk(A(RecordFolder()));
  const std::string refused = "Failed to keep a copy of 'kept'";
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{refused, refused, refused}));
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"kept"}));
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "kept"), "C:\\k.exe");
  EXPECT_FALSE(sandbox.HasValue(HKEY_CURRENT_USER, SwitchKey("Run").c_str(), "kept"));
}

// Five commands over two nodes, then five undos (the keyboard's and the
// popup's): the key, the switches and the folder are as they were, byte
// for byte, and no record is left.
TEST_F(RecordTest, UndoTakesBackAChainOfFiveCommands) {
  const std::string run = RunKeyPath("Run"), switches = RunKeyPath(SwitchKey("Run").c_str());
  SetValueAt(HKEY_CURRENT_USER, run, L"alpha", REG_EXPAND_SZ, Utf16(L"%A%\\a.exe"));
  SetValueAt(HKEY_CURRENT_USER, switches, L"alpha", REG_BINARY, kOff7);
  SetValueAt(HKEY_CURRENT_USER, run, L"beta \u0416", REG_SZ, Utf16(L"\"C:\\b.exe\" /x"));
  SetValueAt(HKEY_CURRENT_USER, run, L"keep", REG_SZ, Utf16(L"C:\\k.exe"));
  SetValueAt(HKEY_CURRENT_USER, switches, L"gamma", REG_BINARY, kOff7);  // stale: the add removes it
  sandbox.UserStartup().Write("tool.exe", "MZ tool");
  const auto keyBefore = SnapshotAt(HKEY_CURRENT_USER, run), switchesBefore = SnapshotAt(HKEY_CURRENT_USER, switches);
  const auto filesBefore = FolderSnapshot(sandbox.UserStartup().Path());

  ManagerDriver& frame = Open("CURRENT USER", "Run");
  frame.ClickRow(frame.RowOf(L"alpha"));
  driver.When("TAutoRunItemDlg", FillItemDialog(L"alpha2", L"C:\\n.exe"));
  frame.tbChange.Click();
  frame.ClickRow(frame.RowOf(L"alpha2"), true);
  frame.ClickRow(frame.RowOf(L"beta \u0416"));
  frame.PressKey(VK_DELETE);
  driver.When("TAutoRunItemDlg", FillItemDialog(L"gamma", L"C:\\g.exe"));
  frame.tbAdd.Click();
  SelectNode(frame, "CURRENT USER", "Auto Run");
  frame.ClickRow(frame.RowOf(L"tool.exe"));
  frame.PressKey(VK_DELETE);
  ASSERT_NE(SnapshotAt(HKEY_CURRENT_USER, run), keyBefore);
  ASSERT_TRUE(FolderSnapshot(sandbox.UserStartup().Path()).empty());

  frame.PressKey('Z', true);
  EXPECT_EQ(frame.RowItem(frame.lvAutoRun.SelectedIndex())->Name, L"tool.exe");  // back, and selected
  for (int undo = 0; undo < 4; ++undo) {
    frame.OpenPopup();
    ASSERT_TRUE(frame.miUndo.Enabled()) << undo;
    frame.miUndo.Click();
  }
  frame.OpenPopup();
  EXPECT_FALSE(frame.miUndo.Enabled());
  EXPECT_TRUE(driver.boxTexts.empty());
  EXPECT_EQ(SnapshotAt(HKEY_CURRENT_USER, run), keyBefore);
  EXPECT_EQ(SnapshotAt(HKEY_CURRENT_USER, switches), switchesBefore);
  EXPECT_EQ(FolderSnapshot(sandbox.UserStartup().Path()), filesBefore);
  EXPECT_TRUE(Records().empty());
}

// Undo never overwrites: a value another program wrote since, under the
// name a Delete removed or a Change left, stays as that program wrote it.
TEST_F(RecordTest, UndoRefusesWhatChangedSince) {
  const std::string run = RunKeyPath("Run");
  SetValueAt(HKEY_CURRENT_USER, run, L"gone", REG_SZ, Utf16(L"C:\\gone.exe"));
  SetValueAt(HKEY_CURRENT_USER, run, L"edited", REG_SZ, Utf16(L"C:\\e.exe"));
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  frame.ClickRow(frame.RowOf(L"edited"));
  driver.When("TAutoRunItemDlg", FillItemDialog(L"edited", L"C:\\mine.exe"));
  frame.tbChange.Click();
  frame.ClickRow(frame.RowOf(L"gone"));
  frame.PressKey(VK_DELETE);
  SetValueAt(HKEY_CURRENT_USER, run, L"gone", REG_SZ, Utf16(L"C:\\theirs.exe"));
  SetValueAt(HKEY_CURRENT_USER, run, L"edited", REG_SZ, Utf16(L"C:\\theirs too.exe"));
  for (int undo = 0; undo < 2; ++undo) {
    driver.AnswerMessageBox();
    frame.PressKey('Z', true);
  }
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTexts,
            (std::vector<std::string>{"Value 'gone' already exists.", "'edited' has changed since."}));
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "gone"), "C:\\theirs.exe");
  EXPECT_EQ(Records().size(), 2u);  // kept for a later restore
}

// "REMOVED" lists what Delete and Change took away, newest first, and puts
// each back exactly where it came from; a namesake there refuses, and a
// record deleted for good is asked about first.
TEST_F(RecordTest, RemovedListsRestoresAndDeletesForGood) {
  const std::string run = RunKeyPath("Run"), switches = RunKeyPath(SwitchKey("Run").c_str());
  SetValueAt(HKEY_CURRENT_USER, run, L"gone", REG_EXPAND_SZ, Utf16(L"%A%\\g.exe"));
  SetValueAt(HKEY_CURRENT_USER, switches, L"gone", REG_BINARY, kOff7);
  SetValueAt(HKEY_CURRENT_USER, run, L"keep", REG_SZ, Utf16(L"C:\\k.exe"));
  sandbox.UserStartup().Write("tool.exe", "MZ tool");
  const auto keyBefore = SnapshotAt(HKEY_CURRENT_USER, run), switchesBefore = SnapshotAt(HKEY_CURRENT_USER, switches);
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  frame.ClickRow(frame.RowOf(L"gone"));
  frame.PressKey(VK_DELETE);
  frame.ClickRow(frame.RowOf(L"keep"));
  driver.When("TAutoRunItemDlg", FillItemDialog(L"keep2", L"C:\\k2.exe"));
  frame.tbChange.Click();
  SelectNode(frame, "CURRENT USER", "Auto Run");
  frame.ClickRow(frame.RowOf(L"tool.exe"));
  frame.PressKey(VK_DELETE);

  SelectNode(frame, "REMOVED");
  ASSERT_EQ(Captions(frame), (std::vector<std::string>{"tool.exe", "keep", "gone"}));
  EXPECT_EQ(A(frame.lvAutoRun.Text(1, 1)), "C:\\k.exe");
  EXPECT_EQ(A(frame.lvAutoRun.Text(2, 1)), "%A%\\g.exe");
  frame.ClickRow(1);
  EXPECT_EQ(A(frame.StatusBar.Text(2)), "Replaced");
  frame.ClickRow(2);
  EXPECT_EQ(A(frame.StatusBar.Text(2)), "Removed");
  EXPECT_FALSE(frame.tbAdd.Enabled());
  EXPECT_FALSE(frame.tbChange.Enabled());

  frame.Choose(frame.miRestore);  // "gone": type, bytes and switch as they were
  SetValueAt(HKEY_CURRENT_USER, run, L"keep", REG_SZ, Utf16(L"C:\\theirs.exe"));
  frame.ClickRow(frame.RowOf(L"keep"));
  driver.AnswerMessageBox();
  frame.Choose(frame.miRestore);  // refused: a namesake is there
  frame.ClickRow(frame.RowOf(L"tool.exe"));
  frame.Choose(frame.miRestore);
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{"Value 'keep' already exists."}));
  EXPECT_EQ(Captions(frame), (std::vector<std::string>{"keep"}));
  EXPECT_EQ(SnapshotAt(HKEY_CURRENT_USER, run).at(L"gone"), keyBefore.at(L"gone"));
  EXPECT_EQ(SnapshotAt(HKEY_CURRENT_USER, switches), switchesBefore);
  EXPECT_EQ(FolderSnapshot(sandbox.UserStartup().Path()).at(L"tool.exe"), (std::vector<BYTE>{'M', 'Z', ' ', 't', 'o', 'o', 'l'}));

  frame.ClickRow(0);
  driver.AnswerMessageBox(IDNO);
  frame.PressKey(VK_DELETE);
  EXPECT_EQ(Records().size(), 1u);
  driver.AnswerMessageBox(IDYES);
  frame.PressKey(VK_DELETE);
  PumpUntilIdle();
  EXPECT_EQ(frame.lvAutoRun.Count(), 0);
  EXPECT_TRUE(Records().empty());
  EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", "keep"), "C:\\theirs.exe");
}

// "Export..." saves the chosen entry and its switch where the user says;
// the system's registry editor puts both back from that file byte-exact.
TEST_F(RecordTest, ExportedEntriesComeBackThroughTheRegistryEditor) {
  const std::string run = RunKeyPath("Run"), switches = RunKeyPath(SwitchKey("Run").c_str());
  const std::wstring name = L"Ex\"port \u0416";
  SetValueAt(HKEY_CURRENT_USER, run, name, REG_EXPAND_SZ, Utf16(L"\"%A%\\x y.exe\" /q\r\n"));
  SetValueAt(HKEY_CURRENT_USER, switches, name, REG_BINARY, kOff7);
  SetValueAt(HKEY_CURRENT_USER, run, L"bystander", REG_SZ, Utf16(L"C:\\b.exe"));
  const auto keyBefore = SnapshotAt(HKEY_CURRENT_USER, run), switchesBefore = SnapshotAt(HKEY_CURRENT_USER, switches);
  TempDir dir;
  const std::wstring file = W(dir.File("export.reg"));
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  frame.ClickRow(frame.RowOf(name));
  driver.When("#32770", [&](HWND dialog) {
    for (const int box : {0x47C, 0x480})  // the file name, as a combo box or an edit
      if (HWND field = GetDlgItem(dialog, box)) SetWindowTextW(field, file.c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  }, "the save dialog");
  frame.Choose(frame.miExport);
  ASSERT_NE(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
  RegDeleteKeyValueW(HKEY_CURRENT_USER, W(run).c_str(), name.c_str());
  RegDeleteKeyValueW(HKEY_CURRENT_USER, W(switches).c_str(), name.c_str());
  ASSERT_TRUE(ImportWithRegistryEditor(file));
  EXPECT_EQ(SnapshotAt(HKEY_CURRENT_USER, run), keyBefore);
  EXPECT_EQ(SnapshotAt(HKEY_CURRENT_USER, switches), switchesBefore);
  EXPECT_TRUE(driver.boxTexts.empty());
}

// At most 1,000 records: keeping one more lets the oldest go, and only it.
TEST_F(RecordTest, TheOldestRecordGoesBeyondAThousand) {
  EntryRecord filler;
  filler.location = W(LocationText(HKEY_CURRENT_USER, "Run"));
  filler.value = StoredBytes{true, REG_SZ, Utf16(L"C:\\f.exe")};
  for (int i = 0; i < 1000; ++i) {
    filler.name = L"filler " + std::to_wstring(i);
    KeepRecord(filler);
  }
  ASSERT_EQ(KeptRecords().size(), 1000u);
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), L"last", REG_SZ, Utf16(L"C:\\l.exe"));
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  frame.ClickRow(frame.RowOf(L"last"));
  frame.PressKey(VK_DELETE);
  const auto records = Records();
  ASSERT_EQ(records.size(), 1000u);
  EXPECT_EQ(records.front().second.name, L"filler 1");
  EXPECT_EQ(records.back().second.name, L"last");
}

// A key that refuses writing refuses the restore with the usual error;
// the record stays for a later try.
TEST_F(RecordTest, RestoreIntoAKeyThatRefusesWritingKeepsTheRecord) {
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), L"locked", REG_SZ, Utf16(L"C:\\l.exe"));
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  frame.ClickRow(frame.RowOf(L"locked"));
  frame.PressKey(VK_DELETE);
  sandbox.MakeReadOnly(HKEY_CURRENT_USER, RunKeyPath("Run"));
  SelectNode(frame, "REMOVED");
  frame.ClickRow(frame.RowOf(L"locked"));
  driver.AnswerMessageBox();
  frame.Choose(frame.miRestore);
  PumpUntilIdle();
  sandbox.MakeWritable(HKEY_CURRENT_USER, RunKeyPath("Run"));
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{"Failed to open key '" + LocationText(HKEY_CURRENT_USER, "Run") + "'"}));
  EXPECT_FALSE(HasValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), L"locked"));
  EXPECT_EQ(Records().size(), 1u);
  EXPECT_EQ(Captions(frame), (std::vector<std::string>{"locked"}));
}

namespace {

// A folder on a drive with no room left. The test command maps S: to a
// small file system where it can make one; elsewhere every write of the
// manager's files fails as on a full drive.
class FullDrive {
 public:
  FullDrive() {
    ULARGE_INTEGER total{};
    if (GetDiskFreeSpaceExW(L"S:\\", nullptr, &total, nullptr) && total.QuadPart < (8u << 20)) {
      folder_ = L"S:\\velmora-test";
      CreateDirectoryW(folder_.c_str(), nullptr);
    } else {
      folder_ = W(temp_.Path());
      full_ = false;
    }
  }
  ~FullDrive() {
    FailWritesForTesting(false);
    for (const auto& [name, bytes] : FolderSnapshot(A(folder_))) DeleteFileW((folder_ + L"\\" + name).c_str());
    if (full_) RemoveDirectoryW(folder_.c_str());
  }
  std::wstring File(const wchar_t* name) const { return folder_ + L"\\" + name; }
  // Fills what room is left, a page at a time.
  void Fill() {
    if (!full_) return FailWritesForTesting(true);
    const HANDLE filler = CreateFileW(File(L"filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const std::vector<char> page(4096, 'f');
    DWORD written = 0;
    while (WriteFile(filler, page.data(), static_cast<DWORD>(page.size()), &written, nullptr) && written == page.size()) {
    }
    CloseHandle(filler);
  }
  std::map<std::wstring, std::vector<BYTE>> Files() const {
    auto files = FolderSnapshot(A(folder_));
    files.erase(L"filler");
    return files;
  }

 private:
  TempDir temp_;
  std::wstring folder_;
  bool full_ = true;
};

}  // namespace

// A file written over an earlier one is written beside it and put in its
// place only once whole: on a full drive Save list and Export fail, say
// so, and leave the earlier files as they were, with nothing beside them.
TEST_F(RecordTest, AFailedWriteLeavesTheEarlierFile) {
  const std::string run = RunKeyPath("Run");
  SetValueAt(HKEY_CURRENT_USER, run, L"Tool", REG_SZ, Utf16(L"C:\\tool.exe"));
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  FullDrive drive;
  const std::wstring list = drive.File(L"list.csv"), exported = drive.File(L"export.reg");
  frame.SaveListAsDialogWould(list);
  const EntryRef tool = EntryRef::Of(*frame.RowItem(frame.RowOf(L"Tool")));
  ASSERT_NO_THROW(ExportEntries({tool}, exported));
  const auto before = drive.Files();
  ASSERT_EQ(before.size(), 2u);
  drive.Fill();
  driver.AnswerMessageBox();
  frame.SaveListAsDialogWould(list);
  EXPECT_THROW(ExportEntries({tool}, exported), EVelmoraError);
  PumpUntilIdle();
  ASSERT_EQ(driver.boxTexts.size(), 1u);
  EXPECT_EQ(driver.boxTexts[0].rfind("Failed to save the list to '" + A(list) + "'", 0), 0u) << driver.boxTexts[0];
  EXPECT_EQ(drive.Files(), before);
}

// Undo of a rename checks every place it would write: a switch another
// program wrote under the old name since stays, and undo says so.
TEST_F(RecordTest, UndoOfARenameKeepsASwitchWrittenSince) {
  const std::string run = RunKeyPath("Run"), switches = RunKeyPath(SwitchKey("Run").c_str());
  SetValueAt(HKEY_CURRENT_USER, run, L"Apple", REG_SZ, Utf16(L"C:\\apple.exe"));
  SetValueAt(HKEY_CURRENT_USER, switches, L"Apple", REG_BINARY, std::vector<BYTE>(12, 0));
  SetValueAt(HKEY_CURRENT_USER, run, L"Cherry", REG_SZ, Utf16(L"C:\\cherry.exe"));
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  SelectRow(frame, "Apple");
  frame.PressKey(VK_F2);
  const HWND edit = reinterpret_cast<HWND>(SendMessageW(frame.lvAutoRun, LVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, L"Berry");
  SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  PumpUntilIdle();
  ASSERT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"Berry", "Cherry"}));
  SetValueAt(HKEY_CURRENT_USER, switches, L"Apple", REG_BINARY, kOff7);
  const auto keyBefore = SnapshotAt(HKEY_CURRENT_USER, run), switchesBefore = SnapshotAt(HKEY_CURRENT_USER, switches);
  driver.AnswerMessageBox();
  frame.PressKey('Z', true);
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTexts, std::vector<std::string>{"'Apple' has changed since."});
  EXPECT_EQ(SnapshotAt(HKEY_CURRENT_USER, run), keyBefore);
  EXPECT_EQ(SnapshotAt(HKEY_CURRENT_USER, switches), switchesBefore);
}
