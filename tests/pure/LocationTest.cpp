#include <gtest/gtest.h>

#include "manager/Location.h"

TEST(LocationKind, DriveAndNetworkPathsAreFolders) {
  EXPECT_TRUE(IsFolderLocation("C:\\Startup"));
  EXPECT_TRUE(IsFolderLocation("c:"));
  EXPECT_TRUE(IsFolderLocation("\\\\srv\\home\\Startup"));
  EXPECT_TRUE(IsFolderLocation("\\\\"));
  EXPECT_FALSE(IsFolderLocation("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"));
  EXPECT_FALSE(IsFolderLocation("\\Software"));
  EXPECT_FALSE(IsFolderLocation("C"));
  EXPECT_FALSE(IsFolderLocation(""));
  EXPECT_FALSE(IsFolderLocation(":"));
  EXPECT_FALSE(IsFolderLocation("C\\:"));
}

TEST(LocationSplit, RootIsLocalMachineOnlyForTheExactName) {
  auto split = SplitRegistryLocation("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
  EXPECT_EQ(split.root, RegistryRoot::LocalMachine);
  EXPECT_EQ(split.keyPath, "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
  split = SplitRegistryLocation("hkey_local_machine\\Software\\X");
  EXPECT_EQ(split.root, RegistryRoot::CurrentUser);
  EXPECT_EQ(split.keyPath, "\\Software\\X");
  split = SplitRegistryLocation("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\");
  EXPECT_EQ(split.root, RegistryRoot::CurrentUser);
  EXPECT_EQ(split.keyPath, "\\Software\\Microsoft\\Windows\\CurrentVersion\\");
  split = SplitRegistryLocation("HKEY_LOCAL_MACHINEX\\Run");
  EXPECT_EQ(split.root, RegistryRoot::CurrentUser);
  split = SplitRegistryLocation("\\Software");
  EXPECT_EQ(split.root, RegistryRoot::CurrentUser);
  EXPECT_EQ(split.keyPath, "\\Software");
  split = SplitRegistryLocation("");
  EXPECT_EQ(split.root, RegistryRoot::CurrentUser);
  EXPECT_EQ(split.keyPath, "");
}
