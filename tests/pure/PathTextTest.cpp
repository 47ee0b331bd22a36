#include <gtest/gtest.h>

#include "common/PathText.h"

TEST(AppendPathDelimiter, AddsOneBackslashOrDriveRoot) {
  EXPECT_EQ(AppendPathDelimiter(""), "");
  EXPECT_EQ(AppendPathDelimiter("C:\\dir\\"), "C:\\dir\\");
  EXPECT_EQ(AppendPathDelimiter("c"), "c:\\");
  EXPECT_EQ(AppendPathDelimiter("Z"), "Z:\\");
  EXPECT_EQ(AppendPathDelimiter("C:"), "C:\\");
  EXPECT_EQ(AppendPathDelimiter("dir"), "dir\\");
  EXPECT_EQ(AppendPathDelimiter("1"), "1\\");
  EXPECT_EQ(AppendPathDelimiter("\\"), "\\");
  // Letters beyond ASCII are not drive letters.
  EXPECT_EQ(AppendPathDelimiter("\xC4"), "\xC4\\");
  EXPECT_EQ(AppendPathDelimiter("@"), "@\\");
  EXPECT_EQ(AppendPathDelimiter("["), "[\\");
}

TEST(StripPathDelimiter, RemovesExactlyOne) {
  EXPECT_EQ(StripPathDelimiter(""), "");
  EXPECT_EQ(StripPathDelimiter("C:\\dir\\"), "C:\\dir");
  EXPECT_EQ(StripPathDelimiter("C:\\dir\\\\"), "C:\\dir\\");
  EXPECT_EQ(StripPathDelimiter("C:\\"), "C:");
  EXPECT_EQ(StripPathDelimiter("\\"), "");
  EXPECT_EQ(StripPathDelimiter("abc"), "abc");
}

TEST(IsNetworkPath, NeedsTwoBackslashesAndMore) {
  EXPECT_FALSE(IsNetworkPath("\\\\"));
  EXPECT_TRUE(IsNetworkPath("\\\\a"));
  EXPECT_TRUE(IsNetworkPath("\\\\srv\\share"));
  EXPECT_FALSE(IsNetworkPath("C:\\\\"));
  EXPECT_FALSE(IsNetworkPath("\\a\\"));
  EXPECT_FALSE(IsNetworkPath(""));
}

TEST(HasSubstring, ExactAndCaseSensitive) {
  EXPECT_FALSE(HasSubstring("abc", ""));
  EXPECT_FALSE(HasSubstring("", ""));
  EXPECT_FALSE(HasSubstring("ABC", "b"));
  EXPECT_TRUE(HasSubstring("ABC", "B"));
  EXPECT_TRUE(HasSubstring("ABC", "ABC"));
  EXPECT_FALSE(HasSubstring("AB", "ABC"));
}

TEST(FileNamePart, AfterLastBackslashOrColon) {
  EXPECT_EQ(FileNamePart("C:\\Tools\\run me.exe"), "run me.exe");
  EXPECT_EQ(FileNamePart("C:tool.exe"), "tool.exe");
  EXPECT_EQ(FileNamePart("tool.exe"), "tool.exe");
  EXPECT_EQ(FileNamePart("C:\\dir\\"), "");
  EXPECT_EQ(FileNamePart(""), "");
  // A quoted command with arguments keeps everything after the last "\".
  EXPECT_EQ(FileNamePart("\"C:\\Program Files\\A\\a.exe\" /min"), "a.exe\" /min");
  EXPECT_EQ(FolderPart("C:\\Tools\\x.exe"), "C:\\Tools\\");
  EXPECT_EQ(FolderPart("x.exe"), "");
}
