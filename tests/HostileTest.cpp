#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "ManagerFixture.h"
#include "manager/velwin.h"

namespace {

class HostileTest : public ManagerFixture {
 protected:
  void SetUp() override {
    for (const char* key : kRunKeys) sandbox.EmptyKey(HKEY_CURRENT_USER, key);
  }
  ManagerDriver& Open(const std::string& child) { return ManagerFixture::Open("CURRENT USER", child); }
  int Row(ManagerDriver& frame, const std::string& name) {
    for (int i = 0; i < frame.lvAutoRun.Count(); ++i)
      if (frame.RowItem(i)->Name == W(name)) return i;
    return -1;
  }
};

}  // namespace

TEST_F(HostileTest, TenThousandValuesAllListed) {
  HKEY key;
  RegOpenKeyExA(HKEY_CURRENT_USER, RunKeyPath("Run").c_str(), 0, KEY_ALL_ACCESS, &key);
  for (int i = 0; i < 10000; ++i) {
    const std::string name = "v" + std::to_string(i), data = "C:\\p" + std::to_string(i) + ".exe";
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), DWORD(data.size() + 1));
  }
  RegCloseKey(key);
  ManagerDriver& frame = Open("Run");
  EXPECT_EQ(frame.lvAutoRun.Count(), 10000);
  const int row = Row(frame, "v5000");
  ASSERT_GE(row, 0);
  EXPECT_EQ(frame.RowItem(row)->Command, L"C:\\p5000.exe");
  frame.lvAutoRun.SelectOnly(row);
  frame.tbDelete.Click();
  EXPECT_FALSE(sandbox.HasValue(HKEY_CURRENT_USER, "Run", "v5000"));
  EXPECT_EQ(frame.lvAutoRun.Count(), 9999);
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run").size(), 9999u);
  EXPECT_TRUE(driver.boxTexts.empty());
}

TEST_F(HostileTest, StrangeNamesHugeDataAndOtherTypes) {
  const std::string longName(16383, 'n');
  const std::string strange = "back\\slash \xE4\xF6\xFC \xA9";
  std::string megabyte(1 << 20, 'm');
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", longName, "C:\\long.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", strange, "C:\\strange.exe");
  sandbox.SetRawValue(HKEY_CURRENT_USER, "Run", "big", REG_SZ, megabyte.data(), DWORD(megabyte.size()));
  sandbox.SetRawValue(HKEY_CURRENT_USER, "Run", "dword", REG_DWORD, "\x01\x02\x03\x04", 4);
  sandbox.SetRawValue(HKEY_CURRENT_USER, "Run", "multi", REG_MULTI_SZ, "a\0b\0\0", 5);
  sandbox.SetRawValue(HKEY_CURRENT_USER, "Run", "binary", REG_BINARY, "\xFF\xFE", 2);
  sandbox.SetRawValue(HKEY_CURRENT_USER, "Run", "noNul", REG_SZ, "C:\\x.exe", 8);
  ManagerDriver& frame = Open("Run");
  EXPECT_EQ(frame.lvAutoRun.Count(), 4);
  EXPECT_TRUE(driver.boxTexts.empty());
  ASSERT_GE(Row(frame, longName), 0);
  ASSERT_GE(Row(frame, strange), 0);
  EXPECT_EQ(frame.RowItem(Row(frame, "big"))->Command.size(), megabyte.size());
  EXPECT_EQ(frame.RowItem(Row(frame, "noNul"))->Command, L"C:\\x.exe");

  // The status bar holds the megabyte command's first characters only.
  frame.ClickRow(Row(frame, "big"));
  EXPECT_EQ(frame.StatusBar.Text(1), std::wstring(ui::StatusBar::kLongestText, L'm'));
  for (const std::string& name : {longName, strange, std::string("big")}) {
    frame.lvAutoRun.SelectOnly(Row(frame, name));
    frame.tbDelete.Click();
    EXPECT_FALSE(sandbox.HasValue(HKEY_CURRENT_USER, "Run", name));
  }
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"),
            (std::vector<std::string>{"binary", "dword", "multi", "noNul"}));
  DWORD type = 0;
  sandbox.Value(HKEY_CURRENT_USER, "Run", "dword", &type);
  EXPECT_EQ(type, DWORD(REG_DWORD));
}

TEST_F(HostileTest, StartupFolderOfFiveThousandFilesAndBrokenShortcuts) {
  const TempDir& folder = sandbox.UserStartup();
  for (int i = 0; i < 5000; ++i) folder.Write("p" + std::to_string(i) + (i % 2 ? ".exe" : ".txt"));
  std::mt19937 random(7);
  std::string noise(300, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  folder.Write("noise.lnk", noise);
  folder.Write("empty.lnk", "");
  folder.Write("truncated.lnk", std::string("\x4c\x00\x00\x00\x01\x14\x02\x00", 8));
  SetFileAttributesA(folder.Write("hidden.exe").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  folder.MakeDir("dir.exe");
  // A name that brings the full path to the path-length limit.
  const std::string longName = std::string(MAX_PATH - 1 - folder.Path().size() - 1 - 4, 'L') + ".exe";
  folder.Write(longName);
  ManagerDriver& frame = Open("Auto Run");
  EXPECT_EQ(frame.lvAutoRun.Count(), 2500 + 3 + 3);
  EXPECT_TRUE(driver.boxTexts.empty());
  for (const char* broken : {"noise.lnk", "empty.lnk", "truncated.lnk"}) {
    ASSERT_GE(Row(frame, broken), 0) << broken;
    EXPECT_EQ(frame.RowItem(Row(frame, broken))->Command, L"");
  }
  // The folder entry named like a program is not deleted, and says why.
  frame.lvAutoRun.SelectOnly(Row(frame, "dir.exe"));
  driver.AnswerMessageBox();
  frame.tbDelete.Click();
  EXPECT_TRUE(PathExists(folder.File("dir.exe")));
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{"'" + folder.File("dir.exe") + "' is a folder."}));
  // The longest name and a broken shortcut delete cleanly, nothing else.
  for (const std::string& name : {longName, std::string("noise.lnk")}) {
    frame.lvAutoRun.SelectOnly(Row(frame, name));
    frame.tbDelete.Click();
    EXPECT_FALSE(PathExists(folder.File(name)));
  }
  EXPECT_EQ(folder.Names().size(), 5000u + 6u - 2u);
  EXPECT_EQ(driver.boxTexts.size(), 1u);
}
