#include <gtest/gtest.h>

#include "TestSupport.h"
#include "common/FileTools.h"

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
  FolderIsPresent("Q:\\no-such-drive\\");
  FolderIsPresent("C:\\windows\\");
  EXPECT_EQ(SetErrorMode(before), UINT(SEM_NOOPENFILEERRORBOX));
}

TEST(ShortenPathToWidth, MeasuresWithTheDeviceContextFont) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
  HGDIOBJ old = SelectObject(dc, font);
  const std::wstring path = L"C:\\Program Files\\Some Vendor\\Some Product\\bin\\tool.exe";
  SIZE full{};
  GetTextExtentPoint32W(dc, path.c_str(), int(path.size()), &full);
  EXPECT_EQ(ShortenPathToWidth(path, dc, full.cx), path);
  const std::wstring shorter = ShortenPathToWidth(path, dc, full.cx - 1);
  EXPECT_EQ(shorter, L"C:\\...\\Some Vendor\\Some Product\\bin\\tool.exe");
  SIZE fitted{};
  const std::wstring narrow = ShortenPathToWidth(path, dc, full.cx / 2);
  GetTextExtentPoint32W(dc, narrow.c_str(), int(narrow.size()), &fitted);
  EXPECT_LE(fitted.cx, full.cx / 2);
  EXPECT_EQ(ShortenPathToWidth(path, dc, 1), L"tool.exe");
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
}
