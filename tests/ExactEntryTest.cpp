// Every command acts on exactly the entry the user chose, or says why not.
#include <gtest/gtest.h>

#include <map>

#include "ManagerFixture.h"

namespace {

std::function<void(HWND)> Fill(const std::string& name, const std::string& path) { return FillItemDialog(W(name), W(path)); }

class ExactEntryTest : public ManagerFixture {
 protected:
  void SetUp() override { EmptyAllKeys(); }
};

}  // namespace

// A registry row's location read as a path is relative; a file there, in
// the host's current folder, must not be what Delete deletes.
TEST_F(ExactEntryTest, RegistryRowIgnoresAFileAtItsLocationAsAPath) {
  TempDir current;
  std::string path = current.Path();
  for (const char* part : {"HKEY_CURRENT_USER", "Software", "Microsoft", "Windows", "CurrentVersion"})
    CreateDirectoryA((path += std::string("\\") + part).c_str(), nullptr);
  const std::string decoy = path + "\\Run";
  CloseHandle(CreateFileA(decoy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  SetCurrentDirectoryA(current.Path().c_str());
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "target", "C:\\t.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "bystander", "C:\\b.exe");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  SelectRow(frame, "target");
  frame.tbDelete.Click();
  SetCurrentDirectoryA(previous);
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"bystander"}));
  EXPECT_TRUE(PathExists(decoy));
  EXPECT_TRUE(driver.boxTexts.empty());
}

TEST_F(ExactEntryTest, FolderRowsAndVanishedFiles) {
  const TempDir& startup = sandbox.UserStartup();
  const std::string folder = startup.MakeDir("tool.exe");
  startup.Write("keep.exe");
  const std::string gone = startup.Write("gone.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "value", "C:\\v.exe");
  // The root lists the registry and the folder together.
  ManagerDriver& frame = Open("CURRENT USER", "");
  SelectRow(frame, "tool.exe");
  driver.AnswerMessageBox();
  frame.tbDelete.Click();
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{"'" + folder + "' is a folder."}));
  EXPECT_TRUE(PathExists(folder));
  // Deleted by someone else since the listing: refused, naming it, and
  // the row goes.
  DeleteFileA(gone.c_str());
  SelectRow(frame, "gone.exe");
  driver.AnswerMessageBox();
  frame.tbDelete.Click();
  PumpUntilIdle();
  ASSERT_EQ(driver.boxTexts.size(), 2u);
  EXPECT_EQ(driver.boxTexts[1], "File '" + gone + "' does not exist.");
  EXPECT_EQ(frame.lvAutoRun.FindCaption(L"gone.exe"), -1);
  EXPECT_EQ(startup.Names(), (std::vector<std::string>{"keep.exe", "tool.exe"}));
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"value"}));
}

// Names a locale calls equal are different registry names: renaming one
// onto the other is a collision, never an overwrite.
TEST_F(ExactEntryTest, LinguisticallyEqualNamesAreDifferentNames) {
  const struct {
    const char* old;
    const char* taken;
  } pairs[] = {
      {"Stra\xDF" "e", "Strasse"},  // sharp s and "ss"
      {"a\xAD" "b", "AB"},          // a soft hyphen
  };
  for (const auto& pair : pairs) {
    sandbox.SetValue(HKEY_CURRENT_USER, "Run", pair.old, "C:\\old.exe");
    sandbox.SetValue(HKEY_CURRENT_USER, "Run", pair.taken, "C:\\taken.exe");
  }
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  for (const auto& pair : pairs) {
    SelectRow(frame, pair.old);
    driver.When("TAutoRunItemDlg", Fill(pair.taken, "C:\\new.exe"));
    driver.AnswerMessageBox();
    frame.tbChange.Click();
    PumpUntilIdle();
    EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", pair.old), "C:\\old.exe") << pair.taken;
    EXPECT_EQ(sandbox.Value(HKEY_CURRENT_USER, "Run", pair.taken), "C:\\taken.exe") << pair.taken;
  }
  EXPECT_EQ(driver.boxTexts,
            (std::vector<std::string>{"Value 'Strasse' already exists.", "Value 'AB' already exists."}));
}

namespace {

void SelectWide(ManagerDriver& frame, const std::wstring& name) {
  for (int row = 0; row < frame.lvAutoRun.Count(); ++row)
    if (frame.RowItem(row)->Name == name) return frame.lvAutoRun.SelectOnly(row);
  ADD_FAILURE() << "no row named " << A(name);
}

}  // namespace

// Names beyond the ANSI code page, each beside a value named as the code
// page would convert it (the look-alike one included): every command acts
// on the chosen one only, and the list and the messages show it exactly.
TEST_F(ExactEntryTest, NamesBeyondTheCodePageAndTheirNamesakes) {
  const std::wstring names[] = {L"\u0422\u0435\u0441\u0442", L"\u0394\u03bf\u03ba\u03b9\u03bc\u03ae",
                                L"\u65e5\u672c\u8a9e", L"\U0001F600go", L"\uFF34ool"};
  const std::wstring path = L"C:\\\u041f\u0440\u043e\u0433\u0430\\x.exe";
  std::map<std::wstring, std::wstring> expected;
  for (const std::wstring& name : names) {
    SetValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), name, REG_SZ, Utf16(path));
    expected[name] = path;
    const std::string namesake = A(name);  // "????", "Tool", ...
    ASSERT_NE(W(namesake), name);
    sandbox.SetValue(HKEY_CURRENT_USER, "Run", namesake, "C:\\namesake.exe");
    expected[W(namesake)] = L"C:\\namesake.exe";
  }
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  for (const std::wstring& name : names) {
    bool listed = false;
    for (int row = 0; row < frame.lvAutoRun.Count(); ++row)
      listed |= frame.lvAutoRun.Text(row) == name && frame.lvAutoRun.Text(row, 1) == path;
    EXPECT_TRUE(listed) << A(name);
  }
  // Change: a new name and a pasted path, both beyond the code page.
  SelectWide(frame, names[0]);
  const std::wstring renamed = L"\u0422\u0435\u0441\u0442 2", newPath = L"C:\\\u041f\u0443\u0442\u044c\\\u043d.exe";
  driver.When("TAutoRunItemDlg", FillItemDialog(renamed, newPath));
  frame.tbChange.Click();
  expected.erase(names[0]);
  expected[renamed] = newPath;
  EXPECT_EQ(frame.StatusBar.Text(1), L"\u043d.exe");
  // Delete: the CJK, the emoji and the look-alike name.
  for (const std::wstring& name : {names[2], names[3], names[4]}) {
    SelectWide(frame, name);
    frame.tbDelete.Click();
    expected.erase(name);
  }
  // A collision names the exact name.
  driver.When("TAutoRunItemDlg", FillItemDialog(names[1], L"C:\\other.exe"));
  driver.AnswerMessageBox();
  frame.tbAdd.Click();
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTextsW, (std::vector<std::wstring>{L"Value '" + names[1] + L"' already exists."}));
  EXPECT_EQ(ValuesAt(HKEY_CURRENT_USER, RunKeyPath("Run")), expected);
}

// Startup files named beyond the code page, and one whose path is longer
// than MAX_PATH, are listed and deleted; a bystander stays.
TEST_F(ExactEntryTest, StartupFilesBeyondTheCodePageAndPastMaxPath) {
  const std::wstring folder = W(sandbox.UserStartup().Path());
  const std::wstring cyrillic = L"\u0422\u0435\u0441\u0442.exe";
  const std::wstring longName = std::wstring(255 - 4, L'L') + L".exe";
  ASSERT_GT(folder.size() + 1 + longName.size(), static_cast<size_t>(MAX_PATH));
  for (const std::wstring& name : {cyrillic, longName, std::wstring(L"keep.exe")})
    CloseHandle(CreateFileW((L"\\\\?\\" + folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                            nullptr));
  ManagerDriver& frame = Open("CURRENT USER", "Auto Run");
  ASSERT_EQ(frame.lvAutoRun.Count(), 3);
  for (const std::wstring& name : {cyrillic, longName}) {
    SelectWide(frame, name);
    frame.tbDelete.Click();
    EXPECT_EQ(GetFileAttributesW((L"\\\\?\\" + folder + L"\\" + name).c_str()), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_EQ(sandbox.UserStartup().Names(), (std::vector<std::string>{"keep.exe"}));
  EXPECT_TRUE(driver.boxTexts.empty());
}

// Typed, not pasted: characters beyond the code page reach the dialog's
// boxes through the modal loop whole.
TEST_F(ExactEntryTest, TypedNamesBeyondTheCodePageArriveWhole) {
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  const std::wstring typed = L"\u0416\u0443\u043a \u65e5";
  driver.When("TAutoRunItemDlg", [&](HWND dialog) {
    HWND name = FindWindowExA(dialog, nullptr, "Edit", nullptr);
    SetWindowTextW(FindWindowExA(dialog, name, "Edit", nullptr), L"C:\\x.exe");
    SetFocus(name);
    for (const wchar_t c : typed) PostMessageW(name, WM_CHAR, c, 1);
    PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 1);
  });
  frame.tbAdd.Click();
  EXPECT_EQ(ValuesAt(HKEY_CURRENT_USER, RunKeyPath("Run")), (std::map<std::wstring, std::wstring>{{typed, L"C:\\x.exe"}}));
  EXPECT_EQ(frame.lvAutoRun.Text(frame.lvAutoRun.SelectedIndex()), typed);
}
