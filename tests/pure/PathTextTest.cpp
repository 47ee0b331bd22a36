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

#ifndef _WIN32
#include "common/LeadBytes.h"
// Shift-JIS: "\x83\x5C" is one character whose trail byte is a backslash's
// code; "\x95\x5C" another.
TEST(PathText, DoubleByteTrailBytesAreNoBackslashes) {
  LeadByteTable table{};
  for (int b = 0x81; b <= 0x9F; ++b) table[b] = true;
  for (int b = 0xE0; b <= 0xFC; ++b) table[b] = true;
  SetLeadBytes(table);
  const std::string folder = "C:\\\x83\x5C\x95\x5C";  // ends in a trail byte 0x5C
  EXPECT_EQ(AppendPathDelimiter(folder), folder + "\\");
  EXPECT_EQ(StripPathDelimiter(folder), folder);
  EXPECT_EQ(StripPathDelimiter(folder + "\\"), folder);
  const std::string file = folder + "\\\x83\x5C.exe";
  EXPECT_EQ(FileNamePart(file), "\x83\x5C.exe");
  EXPECT_EQ(FolderPart(file), folder + "\\");
  EXPECT_EQ(FileNamePart("\x83\x5C"), "\x83\x5C");
  EXPECT_EQ(FolderPart("\x83\x5C"), "");
  // A lead byte at the very end stands alone, and a backslash after it
  // is a backslash.
  EXPECT_EQ(FileNamePart("a\\b\x83"), "b\x83");
  SetLeadBytes(LeadByteTable{});
  // On a single-byte code page the same bytes are two characters.
  EXPECT_EQ(FileNamePart(file), ".exe");
}
#endif
