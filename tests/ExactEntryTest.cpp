// Every command acts on exactly the entry the user chose, or says why not.
#include <gtest/gtest.h>

#include "ManagerFixture.h"

namespace {

std::function<void(HWND)> Fill(const std::string& name, const std::string& path) {
  return [=](HWND dialog) {
    HWND nameEdit = FindWindowExA(dialog, nullptr, "Edit", nullptr);
    SetWindowTextA(nameEdit, name.c_str());
    SetWindowTextA(FindWindowExA(dialog, nameEdit, "Edit", nullptr), path.c_str());
    HWND ok = FindWindowExA(dialog, nullptr, "VelmoraSpeedButton", nullptr);
    SendMessageA(ok, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(ok, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  };
}

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
  TVelmora& frame = Open("CURRENT USER", "Run");
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
  TVelmora& frame = Open("CURRENT USER", "");
  SelectRow(frame, "tool.exe");
  driver.AnswerMessageBox();
  frame.tbDelete.Click();
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{"'" + folder + "' is a folder."}));
  EXPECT_TRUE(PathExists(folder));
  // Deleted by someone else since the listing: the row goes, silently.
  DeleteFileA(gone.c_str());
  SelectRow(frame, "gone.exe");
  frame.tbDelete.Click();
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTexts.size(), 1u);
  EXPECT_EQ(frame.lvAutoRun.FindCaption("gone.exe"), -1);
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
  TVelmora& frame = Open("CURRENT USER", "Run");
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
