// Who signed each program, as Windows verifies it: a publisher under a
// root the prefix trusts, a self-made signer, a changed byte, none; in a
// Run value and behind a Startup shortcut. The Publisher column and the
// status bar say it once the worker has answered.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>
#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <thread>

#include "ManagerFixture.h"
#include "common/Csv.h"
#include "common/FileTools.h"
#include "common/Names.h"
#include "common/ShellLink.h"
#include "common/Signature.h"
#include "common/Unicode.h"
#include "manager/EntryListing.h"
#include "manager/GoTo.h"

namespace {

constexpr DWORD kVerifyDeadlineMs = 20000;

std::wstring SignedProgram(const wchar_t* name) { return BuiltProgram(L"signed", name); }

// The build's test root, trusted by the prefix's user: kept only once the
// store is closed.
void TrustTheTestRoot() {
  std::vector<std::uint8_t> der;
  ReadWholeFile(SignedProgram(L"root.cer"), der);
  ASSERT_FALSE(der.empty());
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  ASSERT_NE(store, nullptr);
  EXPECT_TRUE(CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                               CERT_STORE_ADD_USE_EXISTING, nullptr));
  CertCloseStore(store, 0);
  // The catalog goes where the system looks for catalogs (for this 32-bit
  // process, through the redirected system folder, as wintrust looks).
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  std::wstring folder = std::wstring(system) + L"\\catroot";
  CreateDirectoryW(folder.c_str(), nullptr);
  folder += L"\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}";
  CreateDirectoryW(folder.c_str(), nullptr);
  EXPECT_TRUE(CopyFileW(SignedProgram(L"velmora-test.cat").c_str(), (folder + L"\\velmora-test.cat").c_str(), FALSE));
}

class SignatureTest : public BothViewsTest {
 protected:
  static void SetUpTestSuite() { TrustTheTestRoot(); }
};

struct Case {
  const wchar_t* file;
  SignatureState state;
  const wchar_t* publisher;  // the column
  const wchar_t* reason;     // the status bar's third panel
};
const Case kCases[] = {
    {L"verified.exe", SignatureState::Verified, L"(Verified) Velmora Test Publisher",
     L"Signed by Velmora Test Publisher"},
    {L"selfmade.exe", SignatureState::Untrusted, L"(Not verified) Beispiel GmbH",
     L"Signed, but not by a trusted publisher"},
    {L"tampered.exe", SignatureState::BadDigest, L"(Not verified) Beispiel GmbH",
     L"The file does not match its signature"},
    {L"unsigned.exe", SignatureState::NotSigned, L"(Not verified) Beispiel GmbH", L"Not signed"},
    {L"catalogued.exe", SignatureState::Verified, L"(Verified) Velmora Test Publisher",
     L"Signed by Velmora Test Publisher"},
};

// RFC 4180 read back, written apart from the manager's writer: quoted
// fields with doubled quotes, commas and line breaks inside them.
std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records(1);
  std::string field;
  bool quoted = false, fieldStarted = false;
  for (size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (quoted) {
      if (c == '"' && at + 1 < text.size() && text[at + 1] == '"') {
        field += '"';
        ++at;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"' && !fieldStarted) {
      quoted = fieldStarted = true;
    } else if (c == ',') {
      records.back().push_back(field);
      field.clear();
      fieldStarted = false;
    } else if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
      records.back().push_back(field);
      field.clear();
      fieldStarted = false;
      records.emplace_back();
      ++at;
    } else {
      field += c;
      fieldStarted = true;
    }
  }
  if (records.back().empty()) records.pop_back();
  return records;
}

}  // namespace

TEST_F(SignatureTest, EachProgramShowsWhoReallySignedIt) {
  const SignatureVerifier verifier;
  for (const Case& c : kCases) {
    const SignatureAnswer answer = verifier.Verify(SignedProgram(c.file));
    EXPECT_EQ(answer.state, c.state) << A(c.file);
    if (c.state == SignatureState::Verified) {
      EXPECT_EQ(answer.signer, L"Velmora Test Publisher");
    }
  }
  EXPECT_EQ(verifier.Verify(SignedProgram(L"absent.exe")).state, SignatureState::Unknown);

  const std::string run = RunKeyPath("Run");
  for (const Case& c : kCases)
    SetValueAt(HKEY_CURRENT_USER, run, c.file, REG_SZ, Utf16(L"\"" + SignedProgram(c.file) + L"\" /start"));
  std::wstring link;
  ASSERT_EQ(CreateShortcut(W(sandbox.UserStartup().Path()), SignedProgram(L"verified.exe"), L"", L"", link), S_OK);
  ManagerDriver& frame = Open("CURRENT USER", "");
  const auto publisherOf = [&](const std::wstring& name) {
    const int row = frame.RowOf(name);
    return row < 0 ? std::wstring(L"(no row)") : frame.lvAutoRun.Text(row, kPublisherColumn);
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(A(c.file));
    EXPECT_TRUE(PumpUntil([&] { return publisherOf(c.file) == c.publisher; }, kVerifyDeadlineMs))
        << A(publisherOf(c.file));
    frame.lvAutoRun.SelectOnly(frame.RowOf(c.file));
    EXPECT_TRUE(PumpUntil([&] { return frame.StatusBar.Text(2) == c.reason; }, kVerifyDeadlineMs))
        << A(frame.StatusBar.Text(2));
  }
  // The shortcut's target is what is verified.
  const std::wstring linkName = link.substr(link.find_last_of(L'\\') + 1);
  EXPECT_TRUE(PumpUntil([&] { return publisherOf(linkName) == kCases[0].publisher; }, kVerifyDeadlineMs))
      << A(publisherOf(linkName));
  // Sorted by that text: the verified ones after the others ("(N" < "(V").
  frame.ClickHeader(kPublisherColumn);
  PumpUntilIdle();
  std::vector<std::wstring> shown;
  for (int row = 0; row < frame.lvAutoRun.Count(); ++row) shown.push_back(frame.lvAutoRun.Text(row, kPublisherColumn));
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end(), [](const std::wstring& a, const std::wstring& b) {
    return CompareNaturally(a, b) < 0;
  }));
}

// "Save list..." writes every entry of every place, not only the node
// shown, each field as it is (a name's line break as an escape, a
// formula-like field as text): read back by a CSV reader.
TEST_F(SignatureTest, TheWholeListIsSavedForAHelper) {
  const std::string run = RunKeyPath("Run");
  const std::wstring tricky = L"Quote \"x\", comma\r\nand \u0437\u0430\u043c\u0435\u0442\u043a\u0438";
  SetValueAt(HKEY_CURRENT_USER, run, L"verified", REG_SZ, Utf16(L"\"" + SignedProgram(L"verified.exe") + L"\" /start"));
  SetValueAt(HKEY_CURRENT_USER, run, tricky, REG_SZ, Utf16(L"C:\\gone, really.exe"));
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath(SwitchKey("Run").c_str()), tricky, REG_BINARY,
             {3, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8});
  sandbox.SetValue(HKEY_LOCAL_MACHINE, "RunOnce", "machine once", "C:\\m.exe");
  SetValueAt(HKEY_CURRENT_USER, run, L"=cmd|' /C calc'!A0", REG_SZ, Utf16(L"-x"));
  SetValueAt(HKEY_LOCAL_MACHINE, kPolicies, L"DisableLocalMachineRunOnce", REG_DWORD, {1, 0, 0, 0});
  std::wstring link;
  ASSERT_EQ(CreateShortcut(W(sandbox.UserStartup().Path()), SignedProgram(L"unsigned.exe"), L"", L"", link), S_OK);
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  const TempDir folder;
  const std::wstring saved = W(folder.File("list.csv"));
  frame.SaveListAsDialogWould(saved);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadWholeFile(saved, bytes));
  const std::string text(bytes.begin(), bytes.end());
  ASSERT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
  const auto records = ReadCsv(text.substr(3));
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records[0], (std::vector<std::string>{"Location", "Name", "Command", "State", "Missing", "Publisher",
                                                  "Description", "Verified signer", "Program", "SHA-256", "Format"}));
  std::map<std::string, std::vector<std::string>> byName;
  for (size_t at = 1; at < records.size(); ++at) {
    ASSERT_EQ(records[at].size(), 11u) << at;
    EXPECT_EQ(records[at][10], "velmora-list 2");
    // As a spreadsheet reads it: a leading apostrophe makes the rest text.
    for (const std::string& field : records[at])
      EXPECT_TRUE(field.empty() || std::string("=+-@\t\r").find(field[0]) == std::string::npos) << field;
    byName[Utf8FromWide(NameOfList(FromSpreadsheetText(WideFromUtf8(records[at][1]))))] = records[at];
  }
  // Every entry of every place: as many as the places list.
  size_t listed = 0;
  for (const CatalogueNode& node : ReadLocationCatalogue())
    if (!node.isRoot) {
      TAutoRunNode place;
      place.Location = node.location;
      listed += ListLocation(place).rows.size();
    }
  EXPECT_EQ(records.size() - 1, listed);
  std::vector<std::uint8_t> hash;
  ReadWholeFile(SignedProgram(L"verified.sha256"), hash);
  const std::string user = "HKEY_CURRENT_USER\\" + run;
  EXPECT_EQ(byName["verified"],
            (std::vector<std::string>{user, "verified", Utf8FromWide(L"\"" + SignedProgram(L"verified.exe") + L"\" /start"),
                                      "on", "no", "Beispiel GmbH", "Example tool", "Velmora Test Publisher",
                                      Utf8FromWide(SignedProgram(L"verified.exe")),
                                      std::string(hash.begin(), hash.begin() + 64), "velmora-list 2"}));
  EXPECT_EQ(byName[Utf8FromWide(tricky)],
            (std::vector<std::string>{user, Utf8FromWide(ListName(tricky)), "C:\\gone, really.exe", "off", "yes", "",
                                      "", "", "", "", "velmora-list 2"}));
  EXPECT_EQ(byName[Utf8FromWide(tricky)][1].find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(byName["=cmd|' /C calc'!A0"][1], "'=cmd|' /C calc'!A0");
  EXPECT_EQ(byName["=cmd|' /C calc'!A0"][2], "'-x");
  EXPECT_EQ(byName["machine once"][3], "skipped");
  const std::string linkName = Utf8FromWide(link.substr(link.find_last_of(L'\\') + 1));
  EXPECT_EQ(byName[linkName][5], "Beispiel GmbH");
  EXPECT_EQ(byName[linkName][7], "");
  EXPECT_EQ(byName[linkName][9].size(), 64u);
}

// Go to: Explorer gets the program's file, the editor the entry's key (as
// it remembers its last one); neither where it does not apply.
TEST_F(SignatureTest, GoToTheProgramsFileAndTheEntrysKey) {
  std::vector<std::wstring> shown, started;
  const GoToHands hands{[&](const std::wstring& file) {
                          shown.push_back(file);
                          return 0L;
                        },
                        [&](const std::wstring& program, const std::wstring& arguments) {
                          started.push_back(program + L" " + arguments);
                          return true;
                        }};
  SetGoToHandsForTesting(&hands);
  SetValueAt(HKEY_LOCAL_MACHINE, kWow64Run, L"signed", REG_SZ, Utf16(L"\"" + SignedProgram(L"verified.exe") + L"\" /a"));
  SetValueAt(HKEY_LOCAL_MACHINE, kWow64Run, L"gone", REG_SZ, Utf16(L"C:\\gone.exe"));
  std::wstring link;
  ASSERT_EQ(CreateShortcut(W(sandbox.UserStartup().Path()), SignedProgram(L"unsigned.exe"), L"", L"", link), S_OK);
  ManagerDriver& frame = Open("LOCAL MACHINE", "Run (32-bit)");
  struct Case {
    const char* node;
    std::wstring row;
    bool fileLocation, registryEditor;
  };
  const Case cases[] = {
      {"Run (32-bit)", L"signed", true, true},
      {"Run (32-bit)", L"gone", false, true},
  };
  for (const Case& c : cases) {
    frame.lvAutoRun.SelectOnly(frame.RowOf(c.row));
    frame.OpenPopup();
    EXPECT_EQ(frame.miFileLocation.Enabled(), c.fileLocation) << A(c.row);
    EXPECT_EQ(frame.miRegistryEditor.Enabled(), c.registryEditor) << A(c.row);
  }
  frame.lvAutoRun.SelectOnly(frame.RowOf(L"signed"));
  frame.Choose(frame.miFileLocation);
  frame.Choose(frame.miRegistryEditor);
  EXPECT_EQ(shown, std::vector<std::wstring>{SignedProgram(L"verified.exe")});
  EXPECT_EQ(started, std::vector<std::wstring>{L"regedit.exe -m"});
  EXPECT_EQ(ValuesAt(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit")[L"LastKey"],
            L"Computer\\HKEY_LOCAL_MACHINE\\" + W(kWow64Run));
  // A Startup row: its shortcut's program; no key to open.
  SelectNode(frame, "CURRENT USER", "Auto Run");
  PumpUntilIdle();
  frame.lvAutoRun.SelectOnly(0);
  frame.OpenPopup();
  EXPECT_FALSE(frame.miRegistryEditor.Enabled());
  frame.Choose(frame.miFileLocation);
  EXPECT_EQ(shown.back(), SignedProgram(L"unsigned.exe"));
  EXPECT_EQ(started.size(), 1u);

  // A program only the native system folder holds: the shell gets the
  // path this 32-bit process reaches it by.
  wchar_t windowsFolder[MAX_PATH] = {};
  GetWindowsDirectoryW(windowsFolder, MAX_PATH);
  const std::wstring native = std::wstring(windowsFolder) + L"\\Sysnative\\velmora-native.exe";
  ASSERT_TRUE(CopyFileW(SignedProgram(L"unsigned.exe").c_str(), native.c_str(), FALSE));
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), L"native", REG_SZ,
             Utf16(std::wstring(system) + L"\\velmora-native.exe /a"));
  SelectNode(frame, "CURRENT USER", "Run");
  PumpUntilIdle();
  frame.lvAutoRun.SelectOnly(frame.RowOf(L"native"));
  frame.Choose(frame.miFileLocation);
  DeleteFileW(native.c_str());
  EXPECT_EQ(shown.back(), native);
  EXPECT_TRUE(driver.boxTexts.empty());
  SetGoToHandsForTesting(nullptr);
}

// "Hide Windows' entries" leaves out the programs Windows' own signer
// signed; the filter box the rows whose Name, Path, Publisher or
// Description do not hold its text; the status bar counts what is left out.
TEST_F(SignatureTest, HideWindowsEntriesAndTheFilterBox) {
  const std::string run = RunKeyPath("Run");
  const std::pair<const wchar_t*, std::wstring> values[] = {
      {L"win tool", L"\"" + SignedProgram(L"windows.exe") + L"\""},
      {L"verified", L"\"" + SignedProgram(L"verified.exe") + L"\""},
      {L"Foo Bar", L"\"" + SignedProgram(L"unsigned.exe") + L"\""},
      {L"Zebra", L"C:\\zebra.exe"},
  };
  for (const auto& [name, command] : values) SetValueAt(HKEY_CURRENT_USER, run, name, REG_SZ, Utf16(command));
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  const auto rows = [&] {
    std::vector<std::wstring> names;
    for (int row = 0; row < frame.lvAutoRun.Count(); ++row) names.push_back(frame.lvAutoRun.Text(row));
    std::sort(names.begin(), names.end());
    return names;
  };
  ASSERT_TRUE(PumpUntil([&] { return frame.lvAutoRun.Text(frame.RowOf(L"win tool"), kPublisherColumn) ==
                                     L"(Verified) Microsoft Windows"; },
                        kVerifyDeadlineMs));
  const HWND filter = FindWindowExW(frame.Handle(), nullptr, L"Edit", nullptr);
  ASSERT_NE(filter, nullptr);
  struct Step {
    std::function<void()> act;
    std::vector<std::wstring> shown;
    const wchar_t* hidden;
  };
  const Step steps[] = {
      {[&] { frame.tbHideWindows.Click(); }, {L"Foo Bar", L"Zebra", L"verified"}, L"1 hidden"},
      {[&] { SetWindowTextW(filter, L"BAR"); }, {L"Foo Bar"}, L"3 hidden"},  // the name, any case
      {[&] { SetWindowTextW(filter, L"zebra.EXE"); }, {L"Zebra"}, L"3 hidden"},  // the path
      {[&] { SetWindowTextW(filter, L"beispiel"); }, {L"Foo Bar"}, L"3 hidden"},  // the publisher shown
      {[&] { SetWindowTextW(filter, L"example tool"); }, {L"Foo Bar", L"verified"}, L"2 hidden"},  // description
      {[&] { SendMessageW(filter, WM_KEYDOWN, VK_ESCAPE, 0); }, {L"Foo Bar", L"Zebra", L"verified"}, L"1 hidden"},
      {[&] { frame.Choose(frame.miHideWindows); }, {L"Foo Bar", L"Zebra", L"verified", L"win tool"}, L""},
  };
  for (size_t at = 0; at < std::size(steps); ++at) {
    steps[at].act();
    PumpUntilIdle();
    EXPECT_EQ(rows(), steps[at].shown) << "step " << at;
    EXPECT_EQ(frame.StatusBar.Text(3), steps[at].hidden) << "step " << at;
  }
  EXPECT_EQ(WindowTextW(filter), L"");
  frame.tbHideWindows.Click();
  EXPECT_TRUE(frame.tbHideWindows.Checked());
  EXPECT_TRUE(window->CurrentLayout().hideWindowsEntries);
  // Each row that is shown is still the entry it names: Delete takes the
  // selected row, never a hidden one.
  SelectRow(frame, "Zebra");
  frame.PressKey(VK_DELETE);
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"Foo Bar", "verified", "win tool"}));

  // Closed while rows were left out, and opened again with all in view:
  // only the value another program wrote meanwhile is new.
  SetWindowTextW(filter, L"foo");
  PumpUntilIdle();
  window.reset();
  SetValueAt(HKEY_CURRENT_USER, run, L"Theirs", REG_SZ, Utf16(L"\"" + SignedProgram(L"unsigned.exe") + L"\""));
  ManagerDriver& again = Open("CURRENT USER", "Run");
  if (again.tbHideWindows.Checked()) again.tbHideWindows.Click();
  PumpUntilIdle();
  for (const char* name : {"win tool", "verified", "Foo Bar", "Theirs"}) {
    SelectRow(again, name);
    EXPECT_EQ(again.StatusBar.Text(2) == L"New", std::string(name) == "Theirs") << name;
  }
}

namespace {

// Zeros without a signature: the catalogs' hash of it takes a while.
std::wstring BigProgram(const TempDir& folder, const char* name, long long megabytes = 512) {
  const std::wstring path = W(folder.File(name));
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  LARGE_INTEGER size{};
  size.QuadPart = megabytes << 20;
  SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
  SetEndOfFile(file);
  CloseHandle(file);
  return path;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

std::set<DWORD> ThreadIds() {
  std::set<DWORD> ids;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ids.insert(entry.th32ThreadID);
  CloseHandle(snapshot);
  return ids;
}

// The threads not in `before` that use the processor now.
int BusyThreadsSince(const std::set<DWORD>& before) {
  const auto used = [](DWORD id) {
    const HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
    FILETIME created, ended, kernel{}, user{};
    const bool known = thread && GetThreadTimes(thread, &created, &ended, &kernel, &user);
    if (thread) CloseHandle(thread);
    const auto ticks = [](const FILETIME& time) { return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime; };
    return known ? ticks(kernel) + ticks(user) : 0;
  };
  std::map<DWORD, ULONGLONG> first;
  for (const DWORD id : ThreadIds())
    if (!before.count(id)) first[id] = used(id);
  Sleep(400);
  int busy = 0;
  for (const auto& [id, was] : first) busy += used(id) - was > 100 * 10000 ? 1 : 0;  // 100 ms in 100 ns
  return busy;
}

}  // namespace

// A row is Windows' own only when every program it starts is, and never
// when it is not Windows' default; a program replaced on disk is read and
// verified again (its row listed again, or F5), unverified until then.
TEST_F(SignatureTest, ARowNeverLooksSaferThanItIs) {
  const std::wstring windows = SignedProgram(L"windows.exe"), other = SignedProgram(L"unsigned.exe");
  const TempDir folder;
  const std::wstring tool = W(folder.File("tool.exe")), startup = W(sandbox.UserStartup().File("startup.exe"));
  for (const std::wstring& copy : {tool, startup}) ASSERT_TRUE(CopyFileW(windows.c_str(), copy.c_str(), FALSE));
  SetValueAt(HKEY_LOCAL_MACHINE, kWinlogon, L"Userinit", REG_SZ, Utf16(windows + L"," + other + L","));
  SetValueAt(HKEY_CURRENT_USER, kLegacyWindows, L"Load", REG_SZ, Utf16(windows + L"," + other));
  SetValueAt(HKEY_CURRENT_USER, kLegacyWindows, L"Run", REG_SZ, Utf16(windows + L"," + windows));
  SetValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), L"win tool", REG_SZ, Utf16(Quoted(tool)));
  ManagerDriver& frame = Open("CURRENT USER", "");
  frame.tbHideWindows.Click();
  const auto shown = [&](const std::wstring& name, const std::wstring& publisher) {
    return PumpUntil([&] {
      const int row = frame.RowOf(name);
      return row >= 0 && frame.lvAutoRun.Text(row, kPublisherColumn) == publisher;
    }, kVerifyDeadlineMs);
  };
  const std::wstring notVerified = L"(Not verified) Beispiel GmbH";
  EXPECT_TRUE(shown(L"Load", notVerified));
  // Windows' own list and programs go, once verified.
  EXPECT_TRUE(PumpUntil([&] { return frame.StatusBar.Text(3) == L"3 hidden"; }, kVerifyDeadlineMs))
      << A(frame.StatusBar.Text(3));
  for (const wchar_t* name : {L"Run", L"win tool", L"startup.exe"}) EXPECT_LT(frame.RowOf(name), 0) << A(name);

  // Replaced by another program: the Startup file is listed again, the
  // Run value's program only read again at F5.
  ASSERT_TRUE(CopyFileW(other.c_str(), startup.c_str(), FALSE));
  EXPECT_TRUE(shown(L"startup.exe", notVerified));
  ASSERT_TRUE(CopyFileW(other.c_str(), tool.c_str(), FALSE));
  frame.PressKey(VK_F5);
  EXPECT_TRUE(shown(L"win tool", notVerified));
  EXPECT_TRUE(PumpUntil([&] { return frame.StatusBar.Text(3) == L"1 hidden"; }, kVerifyDeadlineMs))
      << A(frame.StatusBar.Text(3));

  // Userinit starts Windows' program and another: marked, never hidden.
  SelectNode(frame, "LOCAL MACHINE", "Winlogon");
  EXPECT_TRUE(shown(L"Userinit", notVerified));
  SelectRow(frame, "Userinit");
  EXPECT_EQ(frame.StatusBar.Text(2), L"Not Windows' default");
}

// An answer that comes after the listing brings in a row the filter now
// takes, or leaves out one Windows signed; one that comes while F2's edit
// box is open does so when the edit ends.
TEST_F(SignatureTest, AnswersThatComeLaterMoveTheirRows) {
  const TempDir folder;
  const std::wstring big = BigProgram(folder, "big.exe"), big2 = BigProgram(folder, "big2.exe");
  const std::wstring verified = W(folder.File("verified.exe")), windows = W(folder.File("windows.exe"));
  ASSERT_TRUE(CopyFileW(SignedProgram(L"verified.exe").c_str(), verified.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(SignedProgram(L"windows.exe").c_str(), windows.c_str(), FALSE));
  const std::string run = RunKeyPath("Run");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  const HWND filter = FindWindowExW(frame.Handle(), nullptr, L"Edit", nullptr);
  ASSERT_NE(filter, nullptr);
  SetWindowTextW(filter, L"(verified)");
  PumpUntilIdle();
  std::thread([&] {
    SetValueAt(HKEY_CURRENT_USER, run, L"A big", REG_SZ, Utf16(Quoted(big)));
    SetValueAt(HKEY_CURRENT_USER, run, L"signed later", REG_SZ, Utf16(Quoted(verified)));
    SetValueAt(HKEY_CURRENT_USER, run, L"never", REG_SZ, Utf16(Quoted(SignedProgram(L"unsigned.exe"))));
  }).join();
  EXPECT_TRUE(PumpUntil([&] { return frame.RowOf(L"signed later") >= 0; }, kVerifyDeadlineMs));
  EXPECT_TRUE(PumpUntil([&] { return frame.StatusBar.Text(3) == L"2 hidden"; }, kVerifyDeadlineMs))
      << A(frame.StatusBar.Text(3));
  EXPECT_EQ(frame.lvAutoRun.Count(), 1);

  SendMessageW(filter, WM_KEYDOWN, VK_ESCAPE, 0);
  frame.tbHideWindows.Click();
  PumpUntilIdle();
  std::thread([&] {
    SetValueAt(HKEY_CURRENT_USER, run, L"B big", REG_SZ, Utf16(Quoted(big2)));
    SetValueAt(HKEY_CURRENT_USER, run, L"win later", REG_SZ, Utf16(Quoted(windows)));
  }).join();
  ASSERT_TRUE(PumpUntil([&] { return frame.RowOf(L"win later") >= 0; }, kVerifyDeadlineMs));
  SelectRow(frame, "win later");
  frame.PressKey(VK_F2);
  const HWND edit = reinterpret_cast<HWND>(SendMessageW(frame.lvAutoRun, LVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  const auto known = [&] {
    const TAutoRunItem* row = frame.ListedItem(frame.RowOf(L"win later"));
    return row && row->Facts && row->Facts->signatureKnown;
  };
  ASSERT_FALSE(known()) << "the answer came before the edit opened";
  EXPECT_TRUE(PumpUntil(known, kVerifyDeadlineMs));
  EXPECT_GE(frame.RowOf(L"win later"), 0);  // the list waits for the edit
  SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(PumpUntil([&] { return frame.RowOf(L"win later") < 0; }, kVerifyDeadlineMs));
  EXPECT_GE(frame.RowOf(L"B big"), 0);
  EXPECT_EQ(ValuesAt(HKEY_CURRENT_USER, run).size(), 5u);
}

// Closing while a program of a gigabyte is hashed for the catalogs stops
// the work within a slice: no thread of the library works on after it.
TEST_F(SignatureTest, ClosingStopsTheVerificationWithinASlice) {
  const TempDir folder;
  const std::wstring huge = BigProgram(folder, "huge.exe", 1024);
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  const std::set<DWORD> before = ThreadIds();
  std::thread([&] { SetValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), L"huge", REG_SZ, Utf16(Quoted(huge))); }).join();
  ASSERT_TRUE(PumpUntil([&] { return frame.RowOf(L"huge") >= 0; }, kVerifyDeadlineMs));
  PumpUntil([] { return false; }, 500);  // well into the file
  const DWORD start = GetTickCount();
  window.reset();
  EXPECT_LT(GetTickCount() - start, 1500u);
  EXPECT_EQ(BusyThreadsSince(before), 0);
}
