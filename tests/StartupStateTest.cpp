// What Windows will do at logon: Windows' own startup switches (read,
// written, kept in step with the commands) and programs that are gone.
#include <gtest/gtest.h>

#include <map>

#include "ManagerFixture.h"
#include "common/ShellLink.h"
#include "manager/ProgramLookup.h"

namespace {

using Check = ui::ListView::Check;
const std::vector<BYTE> kOff7 = {7, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}, kOn6 = {6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const std::vector<BYTE> kShortOff = {3, 0, 0, 0};


void SetRaw(HKEY root, const std::string& path, const std::string& name, DWORD type, const std::vector<BYTE>& data) {
  HKEY key = nullptr;
  RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr);
  RegSetValueExA(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
  RegCloseKey(key);
}

void SetSwitch(HKEY root, const char* switchKey, const std::string& name, const std::vector<BYTE>& data,
               DWORD type = REG_BINARY) {
  SetRaw(root, RunKeyPath(SwitchKey(switchKey).c_str()), name, type, data);
}

uint64_t Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

int RowOf(const ManagerDriver& frame, const std::string& caption) {
  for (int row = 0; row < frame.lvAutoRun.Count(); ++row)
    if (frame.lvAutoRun.Text(row) == W(caption)) return row;
  ADD_FAILURE() << "no row " << caption;
  return -1;
}

int PictureOf(const ManagerDriver& frame, int row) {
  LVITEMA item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  SendMessageA(frame.lvAutoRun.Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return item.iImage;
}

// What a person sees of a row: its box, its picture and, selected, the
// status bar's third panel.
std::string Seen(ManagerDriver& frame, const std::string& caption) {
  const int row = RowOf(frame, caption);
  if (row < 0) return "(no row)";
  SelectRow(frame, caption);
  const Check check = frame.lvAutoRun.CheckOf(row);
  std::string seen = check == Check::None ? "-" : check == Check::Checked ? "on" : "off";
  if (PictureOf(frame, row) == imgMissing) seen += " missing-picture";
  std::string panel = A(frame.StatusBar.Text(2));
  // Who signed the program is another matter (SignatureTest).
  if (panel == "Not signed" || panel.rfind("Signed", 0) == 0 || panel.rfind("The file does not", 0) == 0) panel.clear();
  return panel.empty() ? seen : seen + " " + panel;
}

// A real click on the row's check box.
void ClickBox(ManagerDriver& frame, const std::string& caption) {
  RECT bounds{};
  bounds.left = LVIR_BOUNDS;
  SendMessageA(frame.lvAutoRun.Handle(), LVM_GETITEMRECT, RowOf(frame, caption), reinterpret_cast<LPARAM>(&bounds));
  LVHITTESTINFO hit{};
  hit.pt = {bounds.left + 8, (bounds.top + bounds.bottom) / 2};
  SendMessageA(frame.lvAutoRun.Handle(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  ASSERT_TRUE(hit.flags & LVHT_ONITEMSTATEICON) << caption;
  const LPARAM at = MAKELPARAM(hit.pt.x, hit.pt.y);
  SendMessageA(frame.lvAutoRun.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(frame.lvAutoRun.Handle(), WM_LBUTTONUP, 0, at);
  PumpUntilIdle();
}

void PressSpace(ManagerDriver& frame, const std::string& caption) {
  SelectRow(frame, caption);
  frame.lvAutoRun.SetFocused(RowOf(frame, caption), true);
  SendMessageA(frame.lvAutoRun.Handle(), WM_KEYDOWN, VK_SPACE, 0x00390001);
  SendMessageA(frame.lvAutoRun.Handle(), WM_CHAR, ' ', 0x00390001);
  SendMessageA(frame.lvAutoRun.Handle(), WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
  PumpUntilIdle();
}

class StartupStateTest : public ManagerFixture {
 protected:
  StartupStateTest() : ManagerFixture(true) {}
  void SetUp() override { EmptyAllKeys(); }
};

struct Mapping {
  HKEY root;
  const char* rootCaption;
  const char* node;
  const char* switchKey;
};

}  // namespace

// Each location reads its own key's switches, in every state; a switch
// in another location's key does not count, and RunOnce has none.
TEST_F(StartupStateTest, EachLocationReadsItsOwnSwitches) {
  const Mapping mappings[] = {
      {HKEY_CURRENT_USER, "CURRENT USER", "Run", "Run"},
      {HKEY_LOCAL_MACHINE, "LOCAL MACHINE", "Run", "Run"},
      {HKEY_LOCAL_MACHINE, "LOCAL MACHINE", "Run (32-bit)", "Run32"},
      {HKEY_CURRENT_USER, "CURRENT USER", "Auto Run", "StartupFolder"},
      {HKEY_LOCAL_MACHINE, "LOCAL MACHINE", "Auto Run", "StartupFolder"},
  };
  const std::map<std::string, std::string> expected = {
      {"even", "on"}, {"odd", "off Off"}, {"none", "on"}, {"short", "on"}, {"typed", "on"}, {"crossed", "on"}};
  // "crossed" is named after its location: off in every other one's key.
  const auto nameOf = [](const std::string& entry, const Mapping& mapping) {
    return entry == "crossed" ? entry + mapping.switchKey + (mapping.root == HKEY_LOCAL_MACHINE ? "M" : "U") : entry;
  };
  for (const Mapping& mapping : mappings) {
    const bool folder = std::string(mapping.switchKey) == "StartupFolder";
    const std::string suffix = folder ? ".exe" : "";
    for (const auto& entry : expected) {
      const std::string name = nameOf(entry.first, mapping) + suffix;
      if (folder)
        (mapping.root == HKEY_LOCAL_MACHINE ? sandbox.CommonStartup() : sandbox.UserStartup()).Write(name);
      else
        SetRaw(mapping.root,
               std::string(mapping.switchKey) == "Run32" ? std::string(kWow64Run) : RunKeyPath("Run"), name,
               REG_SZ, {'C', ':', '\\', 0});
    }
    SetSwitch(mapping.root, mapping.switchKey, "even" + suffix, kOn6);
    SetSwitch(mapping.root, mapping.switchKey, "ODD" + suffix, kOff7);  // the same name to the registry
    SetSwitch(mapping.root, mapping.switchKey, "short" + suffix, kShortOff);
    SetSwitch(mapping.root, mapping.switchKey, "typed" + suffix, {3, 0}, REG_SZ);
    // Off in every other location's key.
    for (const Mapping& other : mappings)
      if (other.root != mapping.root || std::string(other.switchKey) != mapping.switchKey)
        SetSwitch(other.root, other.switchKey, nameOf("crossed", mapping) + suffix, kOff7);
  }
  sandbox.SetValue(HKEY_CURRENT_USER, "RunOnce", "odd", "C:\\");
  ManagerDriver& frame = Open();
  for (const Mapping& mapping : mappings) {
    SelectNode(frame, mapping.rootCaption, mapping.node);
    const std::string suffix = std::string(mapping.switchKey) == "StartupFolder" ? ".exe" : "";
    for (const auto& entry : expected)
      EXPECT_EQ(Seen(frame, nameOf(entry.first, mapping) + suffix), entry.second)
          << mapping.rootCaption << " " << mapping.node << " " << entry.first;
  }
  SelectNode(frame, "CURRENT USER", "Run Once");
  EXPECT_EQ(Seen(frame, "odd"), "-");
  // Reading wrote nothing: the unknown formats are as they were.
  EXPECT_EQ(sandbox.Bytes(HKEY_LOCAL_MACHINE, SwitchKey("Run32").c_str(), "short"), kShortOff);
}

// A click, Space and the popup switch an entry with Windows' bytes; the
// key is made when missing; a row without a switch gets no box.
TEST_F(StartupStateTest, SwitchingWritesWindowsBytes) {
  const std::string folder = "StartupFolder";
  sandbox.UserStartup().Write("target.exe");
  sandbox.UserStartup().Write("bystander.exe");
  SetSwitch(HKEY_CURRENT_USER, "StartupFolder", "bystander.exe", kShortOff);
  sandbox.RemoveKey(HKEY_LOCAL_MACHINE, SwitchKey("StartupFolder").c_str());
  sandbox.CommonStartup().Write("common.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "RunOnce", "once", "C:\\");
  ManagerDriver& frame = Open("CURRENT USER", "Auto Run");

  const uint64_t before = Now();
  ClickBox(frame, "target.exe");
  const uint64_t after = Now();
  DWORD type = 0;
  std::vector<BYTE> bytes = sandbox.Bytes(HKEY_CURRENT_USER, SwitchKey("StartupFolder").c_str(), "target.exe", &type);
  ASSERT_EQ(bytes.size(), 12u);
  EXPECT_EQ(type, DWORD(REG_BINARY));
  EXPECT_EQ(std::vector<BYTE>(bytes.begin(), bytes.begin() + 4), (std::vector<BYTE>{3, 0, 0, 0}));
  uint64_t written = 0;
  for (int at = 11; at >= 4; --at) written = (written << 8) | bytes[at];
  EXPECT_GE(written, before);
  EXPECT_LE(written, after);
  EXPECT_EQ(Seen(frame, "target.exe"), "off Off");

  PressSpace(frame, "target.exe");
  EXPECT_EQ(sandbox.Bytes(HKEY_CURRENT_USER, SwitchKey("StartupFolder").c_str(), "target.exe"),
            (std::vector<BYTE>{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Seen(frame, "target.exe"), "on");

  SelectRow(frame, "target.exe");
  frame.OpenPopup();
  EXPECT_EQ(A(frame.pmAutoRun.Caption(3)), "Disable");
  frame.miSwitch.Click();
  frame.OpenPopup();
  EXPECT_EQ(A(frame.pmAutoRun.Caption(3)), "Enable");
  EXPECT_EQ(Seen(frame, "target.exe"), "off Off");
  EXPECT_EQ(sandbox.Bytes(HKEY_CURRENT_USER, SwitchKey("StartupFolder").c_str(), "bystander.exe"), kShortOff);

  SelectNode(frame, "LOCAL MACHINE", "Auto Run");
  ClickBox(frame, "common.exe");
  EXPECT_EQ(sandbox.Bytes(HKEY_LOCAL_MACHINE, SwitchKey("StartupFolder").c_str(), "common.exe").size(), 12u);
  EXPECT_EQ(Seen(frame, "common.exe"), "off Off");

  // No switch: Space gives the row no box and writes nothing.
  SelectNode(frame, "CURRENT USER", "Run Once");
  PressSpace(frame, "once");
  EXPECT_EQ(Seen(frame, "once"), "-");
  frame.OpenPopup();
  EXPECT_FALSE(frame.miSwitch.Enabled());
  for (const char* key : {"Run", "Run32"}) {
    EXPECT_FALSE(sandbox.HasValue(HKEY_CURRENT_USER, SwitchKey(key).c_str(), "once"));
    EXPECT_FALSE(sandbox.HasValue(HKEY_LOCAL_MACHINE, SwitchKey(key).c_str(), "once"));
  }
  EXPECT_TRUE(driver.boxTexts.empty());
}

TEST_F(StartupStateTest, RefusedSwitchIsReportedAndTheBoxShowsWhatIsStored) {
  sandbox.SetValue(HKEY_LOCAL_MACHINE, "Run", "machine", "C:\\");
  SetSwitch(HKEY_LOCAL_MACHINE, "Run", "machine", kOff7);
  sandbox.MakeReadOnly(HKEY_LOCAL_MACHINE, RunKeyPath(SwitchKey("Run").c_str()));
  ManagerDriver& frame = Open("LOCAL MACHINE", "Run");
  driver.AnswerMessageBox();
  ClickBox(frame, "machine");
  sandbox.MakeWritable(HKEY_LOCAL_MACHINE, RunKeyPath(SwitchKey("Run").c_str()));
  EXPECT_EQ(driver.boxTexts,
            (std::vector<std::string>{"Failed to open key 'HKEY_LOCAL_MACHINE\\" +
                                      RunKeyPath(SwitchKey("Run").c_str()) + "'"}));
  EXPECT_EQ(Seen(frame, "machine"), "off Off");
  EXPECT_EQ(sandbox.Bytes(HKEY_LOCAL_MACHINE, SwitchKey("Run").c_str(), "machine"), kOff7);
}

// A switch follows its entry: Delete removes it, a rename moves it, and an
// entry added under a deleted one's name is not left switched off.
TEST_F(StartupStateTest, SwitchesFollowTheCommands) {
  for (const char* name : {"old", "gone", "bystander"}) {
    sandbox.SetValue(HKEY_CURRENT_USER, "Run", name, "C:\\");
    SetSwitch(HKEY_CURRENT_USER, "Run", name, kOff7);
  }
  SetSwitch(HKEY_CURRENT_USER, "Run", "STALE", kOff7);        // its entry was deleted elsewhere
  SetSwitch(HKEY_CURRENT_USER, "Run", "taken", kOn6);         // a rename's target, stale too
  SetSwitch(HKEY_LOCAL_MACHINE, "Run", "stale", kOff7);       // another location's: stays
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  driver.When("TAutoRunItemDlg", FillItemDialog(L"stale", L"C:\\"));
  frame.tbAdd.Click();
  EXPECT_FALSE(sandbox.HasValue(HKEY_CURRENT_USER, SwitchKey("Run").c_str(), "stale"));
  EXPECT_EQ(Seen(frame, "stale"), "on");

  SelectRow(frame, "old");
  driver.When("TAutoRunItemDlg", FillItemDialog(L"taken", L"C:\\"));
  frame.tbChange.Click();
  EXPECT_FALSE(sandbox.HasValue(HKEY_CURRENT_USER, SwitchKey("Run").c_str(), "old"));
  EXPECT_EQ(sandbox.Bytes(HKEY_CURRENT_USER, SwitchKey("Run").c_str(), "taken"), kOff7);
  EXPECT_EQ(Seen(frame, "taken"), "off Off");

  SelectRow(frame, "gone");
  frame.tbDelete.Click();
  EXPECT_FALSE(sandbox.HasValue(HKEY_CURRENT_USER, SwitchKey("Run").c_str(), "gone"));

  // Startup files: a shortcut added over a stale switch, a file deleted.
  SetSwitch(HKEY_CURRENT_USER, "StartupFolder", "app.lnk", kOff7);
  SetSwitch(HKEY_CURRENT_USER, "StartupFolder", "file.exe", kOff7);
  sandbox.UserStartup().Write("file.exe");
  SelectNode(frame, "CURRENT USER", "Auto Run");
  driver.When("TAutoRunItemDlg", FillItemDialog(L"", L"C:\\Tools\\app.exe"));
  frame.tbAdd.Click();
  EXPECT_EQ(Seen(frame, "app.lnk"), "on missing-picture Missing");
  SelectRow(frame, "file.exe");
  frame.tbDelete.Click();
  EXPECT_FALSE(sandbox.HasValue(HKEY_CURRENT_USER, SwitchKey("StartupFolder").c_str(), "file.exe"));
  EXPECT_FALSE(sandbox.HasValue(HKEY_CURRENT_USER, SwitchKey("StartupFolder").c_str(), "app.lnk"));

  EXPECT_EQ(sandbox.Bytes(HKEY_CURRENT_USER, SwitchKey("Run").c_str(), "bystander"), kOff7);
  EXPECT_EQ(sandbox.Bytes(HKEY_LOCAL_MACHINE, SwitchKey("Run").c_str(), "stale"), kOff7);
  EXPECT_TRUE(driver.boxTexts.empty());
}

namespace {

// A file for the length of a test, made with the file-system redirector off
// (so "System32" is the native one) and removed the same way.
class NativeFile {
 public:
  explicit NativeFile(const std::wstring& path) : path_(path) {
    const FileSystemRedirectionOff off;
    CreateDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str(), nullptr);
    CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  }
  ~NativeFile() {
    const FileSystemRedirectionOff off;
    DeleteFileW(path_.c_str());
    RemoveDirectoryW(path_.substr(0, path_.find_last_of(L'\\')).c_str());
  }

 private:
  std::wstring path_;
};

std::wstring Variable(const wchar_t* name) {
  wchar_t value[MAX_PATH] = L"";
  GetEnvironmentVariableW(name, value, MAX_PATH);
  return value;
}

}  // namespace

// Each rule of "missing" with the case a simpler rule would get wrong.
TEST_F(StartupStateTest, MissingIsDecidedAsWindowsStartsPrograms) {
  TempDir dir;
  const std::string tmp = dir.Path();
  dir.MakeDir("Has Space");
  dir.Write("Has Space\\app.exe");
  dir.Write("lib.dll");
  dir.MakeDir("PathDir");
  dir.Write("PathDir\\pathtool.exe");
  // Only where a 64-bit Windows keeps them: the native System32 and the
  // 64-bit programs' folder, which a 32-bit program calls ProgramW6432.
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  const NativeFile native(std::wstring(windows) + L"\\System32\\velmora-native\\native.exe");
  ASSERT_NE(Variable(L"ProgramW6432"), Variable(L"ProgramFiles"));
  const NativeFile programs(Variable(L"ProgramW6432") + L"\\VelmoraTest\\app64.exe");
  HKEY appPath = nullptr;
  const std::string appPaths = RunKeyPath("App Paths\\velmora-registered.exe");
  RegCreateKeyExA(HKEY_CURRENT_USER, appPaths.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &appPath, nullptr);
  RegCloseKey(appPath);
  const std::wstring path = Variable(L"PATH");
  SetEnvironmentVariableW(L"PATH", (path + L";" + W(tmp) + L"\\PathDir").c_str());

  using P = ProgramPresence;
  const std::pair<std::string, P> cases[] = {
      {"\"" + tmp + "\\Has Space\\app.exe\" /x", P::Found},
      {tmp + "\\Has Space\\app.exe /x", P::Found},  // unquoted, with a space
      {tmp + "\\Has Space\\app /x", P::Found},      // ".exe" added
      {tmp + "\\Has Space", P::Found},              // a folder
      {"\"" + tmp + "\\gone.exe\"", P::Missing},
      {tmp + "\\Has Space\\gone.exe /x", P::Missing},
      {"%ProgramFiles%\\VelmoraTest\\app64.exe", P::Found},  // the 64-bit meaning
      {"%SystemRoot%\\System32\\velmora-native\\native.exe", P::Found},  // through the redirector
      {"%SystemRoot%\\SysWOW64\\velmora-native\\native.exe", P::Missing},
      {"rundll32.exe \"" + tmp + "\\lib.dll\",Entry", P::Found},
      {"rundll32 " + tmp + "\\gone.dll,Entry", P::Missing},
      {"notepad.exe /x", P::Found},             // the Windows or system folder
      {"pathtool -x", P::Found},                // the PATH
      {"velmora-registered.exe", P::Found},     // App Paths
      {"velmora-nowhere.exe", P::Unknown},      // not found: no alarm
      {"%VELMORA_UNSET%\\x.exe", P::Unknown},
  };
  {
    const ProgramLookup lookup;
    const FileSystemRedirectionOff off;
    for (const auto& c : cases) EXPECT_EQ(lookup.OfCommand(W(c.first)), c.second) << c.first;
  }
  SetEnvironmentVariableW(L"PATH", path.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, appPaths.c_str());

  // In the list: the picture and "Missing", for registry values of either
  // string type and for shortcuts whose target is gone or unreadable.
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "gone", "\"" + tmp + "\\gone.exe\" /x");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "plain", "%SystemRoot%\\System32\\velmora-native\\native.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "later", tmp + "\\later.exe", REG_EXPAND_SZ);
  SetSwitch(HKEY_CURRENT_USER, "Run", "gone", kOff7);
  const TempDir& startup = sandbox.UserStartup();
  std::wstring link;
  CreateShortcut(W(startup.Path()), W(tmp + "\\lib.dll"), L"", L"", link);
  CreateShortcut(W(startup.Path()), W(tmp + "\\Has Space\\app.exe"), L"", L"", link);
  startup.Write("broken.lnk", "not a shortcut");
  DeleteFileA((tmp + "\\lib.dll").c_str());
  ManagerDriver& frame = Open("CURRENT USER", "");
  EXPECT_EQ(Seen(frame, "gone"), "off missing-picture Missing");
  EXPECT_EQ(Seen(frame, "plain"), "on");
  EXPECT_EQ(Seen(frame, "later"), "on missing-picture Missing");
  EXPECT_EQ(Seen(frame, "lib.lnk"), "on missing-picture Missing");
  EXPECT_EQ(Seen(frame, "broken.lnk"), "on missing-picture Missing");
  EXPECT_EQ(Seen(frame, "app.lnk"), "on");
  // The program arrives: a refresh shows it, on the same row.
  dir.Write("later.exe");
  const int row = RowOf(frame, "later");
  frame.tbRefresh.Click();
  EXPECT_EQ(RowOf(frame, "later"), row);
  EXPECT_EQ(Seen(frame, "later"), "on");
}
