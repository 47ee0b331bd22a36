#include <gtest/gtest.h>

#include "TestSupport.h"
#include "common/FileTools.h"

TEST(FileIsPresent, FilesYesFoldersNo) {
  TempDir dir;
  const std::string file = dir.Write("a.exe");
  dir.MakeDir("sub.exe");
  EXPECT_TRUE(FileIsPresent(file));
  EXPECT_FALSE(FileIsPresent(dir.File("sub.exe")));
  EXPECT_FALSE(FileIsPresent(dir.Path()));
  EXPECT_FALSE(FileIsPresent(dir.File("missing.exe")));
  EXPECT_FALSE(FileIsPresent(""));
  // Wildcards answer for the first match.
  EXPECT_TRUE(FileIsPresent(dir.File("a.*")));
}

TEST(FolderIsPresent, FoldersYesFilesNo) {
  TempDir dir;
  dir.Write("f.txt");
  EXPECT_TRUE(FolderIsPresent(dir.Path() + "\\"));
  EXPECT_TRUE(FolderIsPresent(dir.Path()));
  EXPECT_TRUE(FolderIsPresent("C:\\windows\\"));
  EXPECT_FALSE(FolderIsPresent(dir.File("f.txt")));
  EXPECT_FALSE(FolderIsPresent(dir.File("none\\")));
  EXPECT_FALSE(FolderIsPresent(""));
}

TEST(ErrorMode, RestoredAfterEveryTest) {
  const UINT before = SetErrorMode(SEM_NOOPENFILEERRORBOX);
  FileIsPresent("Q:\\no-such-drive\\x");
  FolderIsPresent("Q:\\no-such-drive\\");
  FileIsPresent("C:\\windows");
  FolderIsPresent("C:\\windows\\");
  EXPECT_EQ(SetErrorMode(before), UINT(SEM_NOOPENFILEERRORBOX));
}

TEST(ShortenPathToWidth, MeasuresWithTheDeviceContextFont) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
  HGDIOBJ old = SelectObject(dc, font);
  const std::string path = "C:\\Program Files\\Some Vendor\\Some Product\\bin\\tool.exe";
  SIZE full{};
  GetTextExtentPoint32A(dc, path.c_str(), int(path.size()), &full);
  EXPECT_EQ(ShortenPathToWidth(path, dc, full.cx), path);
  const std::string shorter = ShortenPathToWidth(path, dc, full.cx - 1);
  EXPECT_EQ(shorter, "C:\\...\\Some Vendor\\Some Product\\bin\\tool.exe");
  SIZE fitted{};
  const std::string narrow = ShortenPathToWidth(path, dc, full.cx / 2);
  GetTextExtentPoint32A(dc, narrow.c_str(), int(narrow.size()), &fitted);
  EXPECT_LE(fitted.cx, full.cx / 2);
  EXPECT_EQ(ShortenPathToWidth(path, dc, 1), "tool.exe");
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
}
