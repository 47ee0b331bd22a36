#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include "TestSupport.h"
#include "common/ShellLink.h"

namespace {

std::string Create(const std::string& folder, const std::string& target) {
  std::string link;
  CreateShortcut(folder, target, "", "", link);
  return link;
}

// Reads the description and arguments back with the shell's own object.
void ReadExtras(const std::string& link, std::string& description, std::string& arguments) {
  IShellLinkA* shell = nullptr;
  IPersistFile* file = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&shell), S_OK);
  shell->QueryInterface(IID_IPersistFile, (void**)&file);
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
  ASSERT_EQ(file->Load(wide, STGM_READ), S_OK);
  char text[1024] = "";
  shell->GetDescription(text, sizeof text);
  description = text;
  shell->GetArguments(text, sizeof text);
  arguments = text;
  file->Release();
  shell->Release();
}

}  // namespace

TEST(ShortcutNames, BaseNameAndNumbering) {
  EXPECT_EQ(ShortcutBaseName("C:\\Startup", "C:\\Tools\\app.exe"), "C:\\Startup\\app.lnk");
  EXPECT_EQ(ShortcutBaseName("C:\\Startup\\", "C:\\Tools\\app"), "C:\\Startup\\app.lnk");
  EXPECT_EQ(ShortcutBaseName("C:\\Startup", "C:\\Tools\\my.app.exe"), "C:\\Startup\\my.app.lnk");
  EXPECT_EQ(ShortcutBaseName("C:\\Startup", "C:\\Tools\\"), "C:\\Startup\\.lnk");
  EXPECT_EQ(ShortcutBaseName("C", "C:app.exe"), "C:\\app.lnk");
  EXPECT_EQ(ShortcutBaseName("C:\\Users\\john.doe\\Startup", "app"), "C:\\Users\\john.doe\\Startup\\app.lnk");
  EXPECT_EQ(NumberedShortcutName("C:\\Startup\\app.lnk", 1), "C:\\Startup\\app(1).lnk");
  EXPECT_EQ(NumberedShortcutName("C:\\Startup\\my.app.lnk", 10), "C:\\Startup\\my(10).app.lnk");
  EXPECT_EQ(NumberedShortcutName("C:\\Users\\john.doe\\S\\app.lnk", 2), "C:\\Users\\john.doe\\S\\app(2).lnk");
  EXPECT_EQ(NumberedShortcutName("C:\\S\\.lnk", 3), "C:\\S\\(3).lnk");
}

TEST(CreateShortcut, WritesTargetWithEmptyExtras) {
  TempDir dir;
  const std::string link = Create(dir.Path(), "C:\\Tools\\app.exe");
  EXPECT_EQ(link, dir.File("app.lnk"));
  EXPECT_TRUE(PathExists(link));
  std::string target;
  GetShortcutTarget(link, target);
  EXPECT_EQ(target, "C:\\Tools\\app.exe");
  std::string description = "?", arguments = "?";
  ReadExtras(link, description, arguments);
  EXPECT_EQ(description, "");
  EXPECT_EQ(arguments, "");
}

TEST(CreateShortcut, NumbersFreeNamesWithoutReplacing) {
  TempDir dir;
  dir.Write("app.lnk", "first");
  dir.Write("app(1).lnk", "second");
  EXPECT_EQ(Create(dir.Path() + "\\", "C:\\Tools\\app.exe"), dir.File("app(2).lnk"));
  EXPECT_EQ(Create(dir.Path(), "C:\\Other\\app.exe"), dir.File("app(3).lnk"));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"app(1).lnk", "app(2).lnk", "app(3).lnk", "app.lnk"}));
  std::string target;
  GetShortcutTarget(dir.File("app(3).lnk"), target);
  EXPECT_EQ(target, "C:\\Other\\app.exe");
}

TEST(CreateShortcut, DottedNamesAndDottedFolders) {
  TempDir dir;
  const std::string folder = dir.MakeDir("john.doe");
  EXPECT_EQ(Create(folder, "C:\\Tools\\my.app.exe"), folder + "\\my.app.lnk");
  EXPECT_EQ(Create(folder, "C:\\Tools\\my.app.exe"), folder + "\\my(1).app.lnk");
  EXPECT_EQ(Create(folder, "C:\\Tools\\app"), folder + "\\app.lnk");
  EXPECT_EQ(Create(folder, "D:\\app.exe"), folder + "\\app(1).lnk");
}

TEST(CreateShortcut, DirectoryAtCandidateCountsAsTaken) {
  TempDir dir;
  dir.MakeDir("app.lnk");
  EXPECT_EQ(Create(dir.Path(), "C:\\Tools\\app.exe"), dir.File("app(1).lnk"));
  EXPECT_TRUE(PathExists(dir.File("app(1).lnk")));
}

// A shortcut that cannot be made (a folder that is not there, a target
// without a name, one the link does not keep as given: a quote in a
// folder's name) fails with the shortcut it would have been, and leaves
// no file.
TEST(CreateShortcut, FailuresNameTheShortcutAndLeaveNoFile) {
  TempDir dir;
  const std::string missing = dir.File("no\\such\\folder");
  const struct {
    std::string folder, target, named;
  } cases[] = {
      {missing, "C:\\Tools\\app.exe", missing + "\\app.lnk"},
      {dir.Path(), "C:\\Tools\\", dir.File(".lnk")},
      {dir.Path(), "C:\\To\"ols\\app.exe", dir.File("app.lnk")},
  };
  for (const auto& c : cases) {
    std::string link;
    EXPECT_TRUE(FAILED(CreateShortcut(c.folder, c.target, "", "", link))) << c.target;
    EXPECT_EQ(link, c.named) << c.target;
  }
  EXPECT_TRUE(dir.Names().empty());
}

TEST(GetShortcutTarget, EmptyForAnythingUnreadable) {
  TempDir dir;
  for (const std::string& file :
       {dir.File("missing.lnk"), dir.Write("text.lnk", "not a shortcut at all"), dir.Write("empty.lnk", "")}) {
    std::string target = "stale";
    EXPECT_EQ(GetShortcutTarget(file, target), S_FALSE) << file;
    EXPECT_EQ(target, "") << file;
  }
}
