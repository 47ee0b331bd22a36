// Scheduled tasks that start programs at logon or at startup: listed from
// the task files Wine keeps as registered tasks (the Task Scheduler's own
// listing, which Wine lacks, stood in for where a case needs it), marked,
// switched and deleted as far as the Task Scheduler really does it, and
// followed while another program writes.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "ManagerFixture.h"
#include "common/FileTools.h"
#include "common/TaskService.h"
#include "manager/EntryCommands.h"
#include "manager/FrameMessages.h"
#include "manager/GoTo.h"
#include "manager/Pictures.h"
#include "manager/RecordStore.h"
#include "manager/TaskCommands.h"
#include "manager/TaskFiles.h"
#include "manager/TaskListing.h"

namespace {

constexpr DWORD kFollowMs = 8000;
const wchar_t kClass[] = L"{5E1A0F3C-7D1B-4C57-9E2A-0123456789AB}";
const std::string kClassKey = "Software\\Classes\\CLSID\\{5E1A0F3C-7D1B-4C57-9E2A-0123456789AB}\\InprocServer32";

std::wstring Exec(const std::wstring& command, const std::wstring& arguments = L"") {
  return L"<Exec><Command>" + command + L"</Command>" +
         (arguments.empty() ? L"" : L"<Arguments>" + arguments + L"</Arguments>") + L"</Exec>";
}

std::wstring SystemProgram() {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  return std::wstring(system) + L"\\cmd.exe";
}

std::vector<std::uint8_t> FileBytes(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

class ScheduledTasksTest : public BothViewsTest {
 protected:
  const std::wstring root = TaskFolder(), mine = root + L"\\Velmora";
  bool madeRoot = false;

  void SetUp() override {
    BothViewsTest::SetUp();
    madeRoot = CreateDirectoryW(root.c_str(), nullptr) != FALSE;
    CreateDirectoryW(mine.c_str(), nullptr);
    CreateDirectoryW((mine + L"\\Sub").c_str(), nullptr);
  }
  void TearDown() override {
    SetTaskEnumerationForTesting(nullptr);
    Close();
    DeleteTreeOnDisk(A(mine));
    if (madeRoot) RemoveDirectoryW(root.c_str());
  }
  // As another program writes it: whole, in one write.
  void WriteTask(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    ASSERT_EQ(WriteWholeFile(root + path, bytes, true), DWORD(ERROR_SUCCESS)) << A(path);
  }
  void WriteTask(const std::wstring& path, const std::wstring& triggers, const std::wstring& actions,
                 const std::wstring& settings = L"", TaskForm form = TaskForm::Utf16Bom) {
    WriteTask(path, EncodedTask(TaskXml(triggers, actions, settings), form));
  }
  std::vector<std::wstring> Rows(ManagerDriver& frame) { return SortedRows(frame); }
  void Follow(const std::function<bool()>& shown, int line = __builtin_LINE()) {
    ASSERT_TRUE(PumpUntil(shown, kFollowMs)) << "line " << line;
  }
  ManagerDriver& OpenTasks(size_t rows) {
    ManagerDriver& frame = Open("LOCAL MACHINE", "Scheduled tasks");
    const bool shown = PumpUntil([&] { return static_cast<size_t>(frame.lvAutoRun.Count()) == rows; }, kFollowMs);
    std::string listed;
    for (const std::wstring& row : Rows(frame)) listed += A(row) + "|";
    EXPECT_TRUE(shown) << listed << " caption " << A(frame.pnlTop.Text());
    return frame;
  }
  TakenEntries Take(ManagerDriver& frame, const std::wstring& name) {
    frame.lvAutoRun.SelectOnly(frame.RowOf(name));
    PumpUntilIdle();
    return frame.frame.TakeSelection();
  }
};

}  // namespace

// Every logon and startup task, from every folder and encoding, with its
// first action, its switch and what the third panel says; a daily task is
// no entry; the file the Task Scheduler does not list is marked hidden.
TEST_F(ScheduledTasksTest, ListsLogonAndStartupTasksWithWhatTheyDo) {
  const std::wstring logon = L"\\Velmora\\Logon \u00fc \u4e2d";
  WriteTask(logon, L"<LogonTrigger/>", Exec(L"C:\\Gone\\run \u00fc.exe", L"/q %USERPROFILE%"));
  WriteTask(L"\\Velmora\\Boot", L"<BootTrigger><Delay>PT30S</Delay></BootTrigger>", Exec(SystemProgram()), L"",
            TaskForm::Utf8);
  WriteTask(L"\\Velmora\\Daily", L"<CalendarTrigger/>", Exec(SystemProgram()));
  WriteTask(L"\\Velmora\\Task off", L"<LogonTrigger/>", Exec(SystemProgram()), L"<Enabled>false</Enabled>");
  WriteTask(L"\\Velmora\\Triggers off", L"<LogonTrigger><Enabled>false</Enabled></LogonTrigger>", Exec(SystemProgram()));
  WriteTask(L"\\Velmora\\Sub\\Nested", L"<LogonTrigger><UserId>PC\\Ann</UserId></LogonTrigger>", Exec(SystemProgram()));
  WriteTask(L"\\Velmora\\Com", L"<LogonTrigger/>", L"<ComHandler><ClassId>" + std::wstring(kClass) + L"</ClassId></ComHandler>");
  WriteTask(L"\\Velmora\\Broken", EncodedTask(L"<Task><Triggers><LogonTrigger/>", TaskForm::Utf8));
  SetValueAt(HKEY_LOCAL_MACHINE, kClassKey, L"", REG_SZ, Utf16(L"C:\\Gone\\handler \u00e9.dll"));
  // The service's listing stands in for Wine's: every task but one.
  SetTaskEnumerationForTesting([](std::vector<ListedTask>& tasks) {
    for (const wchar_t* path : {L"\\Velmora\\Logon \u00fc \u4e2d", L"\\Velmora\\Boot", L"\\Velmora\\Daily",
                                L"\\Velmora\\Task off", L"\\Velmora\\Triggers off", L"\\Velmora\\Com",
                                L"\\Velmora\\Broken"})
      tasks.push_back({path, L""});
    return S_OK;
  });
  ManagerDriver& frame = OpenTasks(7);
  const struct {
    std::wstring name, path;
    bool on;
    std::wstring mark, first;  // the third panel; the first panel after the path
    int picture;
  } cases[] = {
      {logon, L"\"C:\\Gone\\run \u00fc.exe\" /q %USERPROFILE%", true, L"Missing", L": At logon of any user", imgMissing},
      {L"\\Velmora\\Boot", SystemProgram(), true, L"", L": At startup +30 s delay", imgProgram},
      {L"\\Velmora\\Task off", SystemProgram(), false, L"Off", L": At logon of any user", imgProgram},
      {L"\\Velmora\\Triggers off", SystemProgram(), true, L"Off: its logon and startup triggers are disabled",
       L": At logon of any user (off)", imgSkipped},
      {L"\\Velmora\\Sub\\Nested", SystemProgram(), true, L"Hidden from the Task Scheduler", L": At logon of PC\\Ann",
       imgProgram},
      {L"\\Velmora\\Com", L"\"C:\\Gone\\handler \u00e9.dll\" " + std::wstring(kClass), true, L"Missing",
       L": At logon of any user", imgMissing},
      {L"\\Velmora\\Broken", L"", true, L"Cannot be read: ", L"", imgProgram},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(A(c.name));
    const int row = frame.RowOf(c.name);
    ASSERT_GE(row, 0);
    frame.lvAutoRun.SelectOnly(row);
    Follow([&] { return c.mark.empty() ? frame.RowItem(row)->Settled() : frame.StatusBar.Text(2).rfind(c.mark, 0) == 0; });
    if (c.mark.empty()) {
      EXPECT_NE(frame.StatusBar.Text(2), L"Missing");
    } else if (c.mark == L"Cannot be read: ") {
      EXPECT_GT(frame.StatusBar.Text(2).size(), c.mark.size());
    }
    EXPECT_EQ(frame.lvAutoRun.Text(row, 1), c.path);
    EXPECT_EQ(frame.StatusBar.Text(0), c.name + c.first);
    EXPECT_EQ(frame.lvAutoRun.CheckOf(row), c.on ? ui::ListView::Check::Checked : ui::ListView::Check::Cleared);
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageW(frame.lvAutoRun, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(item.iImage, c.picture);
    const TakenEntries taken = frame.frame.TakeSelection();
    EXPECT_FALSE(Enabled(Command::Change, taken) || Enabled(Command::Rename, taken) || Enabled(Command::Add, taken));
    EXPECT_TRUE(Enabled(Command::Delete, taken) && Enabled(Command::OpenInTaskScheduler, taken));
  }
  EXPECT_EQ(frame.RowOf(L"\\Velmora\\Daily"), -1);
  // The machine's root lists the tasks with its other places.
  SelectNode(frame, "LOCAL MACHINE");
  Follow([&] { return frame.RowOf(L"\\Velmora\\Boot") >= 0; });
  const std::vector<std::wstring> rows = Rows(frame);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), logon), 1);
}

// The switch is the task's own and read back: Wine's Task Scheduler says
// yes and keeps the state, and the user is told so. Delete keeps the
// file's bytes first; Restore registers them again and, where the Task
// Scheduler keeps less than it was given, says so, takes the partial task
// away and keeps the record.
TEST_F(ScheduledTasksTest, SwitchDeleteAndRestoreSayWhatWindowsDid) {
  const std::wstring path = L"\\Velmora\\Start \u00e9t\u00e9";
  WriteTask(path, L"<LogonTrigger/>", Exec(SystemProgram(), L"/c exit"));
  WriteTask(L"\\Velmora\\Bystander", L"<BootTrigger/>", Exec(SystemProgram()));
  const std::vector<std::uint8_t> stored = FileBytes(root + path), bystander = FileBytes(mine + L"\\Bystander");
  ManagerDriver& frame = OpenTasks(2);

  driver.AnswerMessageBox();
  frame.ClickRow(frame.RowOf(path), true);
  Follow([&] { return driver.boxTextsW.size() == 1; });
  EXPECT_EQ(driver.boxTextsW[0].find(L"Windows did not switch the task '" + path + L"'"), 0u) << A(driver.boxTextsW[0]);
  EXPECT_EQ(frame.lvAutoRun.CheckOf(frame.RowOf(path)), ui::ListView::Check::Checked);
  EXPECT_EQ(FileBytes(root + path), stored);

  // The popup's way to the Task Scheduler's own window.
  std::vector<std::wstring> started;
  const GoToHands hands{[](const std::wstring&) { return 0L; },
                        [&](const std::wstring& program, const std::wstring& arguments) {
                          started.push_back(program + L"|" + arguments);
                          return true;
                        }};
  SetGoToHandsForTesting(&hands);
  frame.frame.Execute(Command::OpenInTaskScheduler, Take(frame, path));
  SetGoToHandsForTesting(nullptr);
  EXPECT_EQ(started, std::vector<std::wstring>{L"taskschd.msc|"});

  const size_t records = KeptRecords().size();
  frame.frame.Execute(Command::Delete, Take(frame, path));
  PumpUntilIdle();
  ASSERT_EQ(KeptRecords().size(), records + 1);
  const std::wstring record = KeptRecords().back();
  EXPECT_EQ(FileBytes(TaskRecordFile(record, path)), stored);
  EXPECT_EQ(GetFileAttributesW((root + path).c_str()), INVALID_FILE_ATTRIBUTES);
  TaskService service;
  std::wstring xml;
  EXPECT_FALSE(SUCCEEDED(service.Xml(path, xml)));
  EXPECT_EQ(Rows(frame), std::vector<std::wstring>{L"\\Velmora\\Bystander"});
  EXPECT_EQ(FileBytes(mine + L"\\Bystander"), bystander);
  // Ctrl+Z registers it again and is told the same as Restore below.
  driver.AnswerMessageBox();
  frame.lvAutoRun.SelectOnly(0);
  frame.PressKey('Z', true);
  Follow([&] { return driver.boxTextsW.size() == 2; });
  EXPECT_EQ(driver.boxTextsW[1].find(L"Windows did not take the task '" + path + L"' back whole"), 0u)
      << A(driver.boxTextsW[1]);
  EXPECT_EQ(Rows(frame), std::vector<std::wstring>{L"\\Velmora\\Bystander"});

  SelectNode(frame, "REMOVED");
  PumpUntilIdle();
  ASSERT_GE(frame.RowOf(path), 0);
  EXPECT_EQ(frame.lvAutoRun.Text(frame.RowOf(path), 1), SystemProgram() + L" /c exit");
  try {
    RestoreRecord(record);
    ADD_FAILURE() << "restored";
  } catch (const EVelmoraError& error) {
    EXPECT_EQ(WideFromUtf8(error.what()), L"Windows did not take the task '" + path + L"' back whole");
  }
  EXPECT_EQ(FileBytes(TaskRecordFile(record, path)), stored);
  EXPECT_EQ(GetFileAttributesW((root + path).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(SUCCEEDED(service.Xml(path, xml)));
  EXPECT_EQ(FileBytes(mine + L"\\Bystander"), bystander);
}

// Another program's task file is listed without F5 (a subfolder's too);
// a Task Scheduler that does not answer leaves the files' tasks and says
// so; Save list and the filter reach the tasks.
TEST_F(ScheduledTasksTest, FollowsOtherProgramsAndASlowService) {
  WriteTask(L"\\Velmora\\First", L"<LogonTrigger/>", Exec(SystemProgram()));
  ManagerDriver& frame = OpenTasks(1);
  std::thread writer([&] { WriteTask(L"\\Velmora\\Sub\\Late", L"<BootTrigger/>", Exec(L"C:\\late.exe")); });
  writer.join();
  Follow([&] { return frame.RowOf(L"\\Velmora\\Sub\\Late") >= 0; });
  EXPECT_GE(frame.RowOf(L"\\Velmora\\First"), 0);
  EXPECT_EQ(frame.pnlTop.Text(), kUsualCaption);

  const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetTaskEnumerationForTesting([release](std::vector<ListedTask>&) {
    WaitForSingleObject(release, 10000);
    return E_NOTIMPL;
  });
  frame.PressKey(VK_F5);
  Follow([&] { return frame.pnlTop.Text() == kNoTaskService; });
  EXPECT_EQ(Rows(frame), (std::vector<std::wstring>{L"\\Velmora\\First", L"\\Velmora\\Sub\\Late"}));
  SetEvent(release);
  SetTaskEnumerationForTesting(nullptr);
  frame.PressKey(VK_F5);
  Follow([&] { return frame.pnlTop.Text() == kUsualCaption; });
  CloseHandle(release);

  const std::wstring list = W(ArtifactPath("tasks-list.csv"));
  frame.SaveListAsDialogWould(list);
  const std::vector<std::uint8_t> csv = FileBytes(list);
  const std::string text(csv.begin(), csv.end());
  EXPECT_NE(text.find("Task Scheduler,\\Velmora\\Sub\\Late,C:\\late.exe"), std::string::npos) << text;
  const HWND filter = FindWindowExW(frame.Handle(), nullptr, L"Edit", nullptr);
  ASSERT_NE(filter, nullptr);
  SetWindowTextW(filter, L"late.EXE");
  Follow([&] { return Rows(frame) == std::vector<std::wstring>{L"\\Velmora\\Sub\\Late"}; });
  EXPECT_EQ(frame.StatusBar.Text(3), L"1 hidden");
}

