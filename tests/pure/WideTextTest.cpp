// The UTF-16 forms of the pure text units: the same algorithm as the byte
// forms (checked on texts both can hold), and whole characters beyond any
// code page.
#include <gtest/gtest.h>

#include "common/CommandLine.h"
#include "common/Mask.h"
#include "common/PathShortening.h"
#include "common/PathText.h"
#include "manager/Location.h"

namespace {

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

}  // namespace

TEST(WideText, SameAnswersAsTheByteForms) {
  for (const std::string path : {"", "C", "c:", "C:\\", "C:\\Tools\\run me.exe", "\\\\srv\\share\\x", "a\\",
                                 "HKEY_LOCAL_MACHINE\\Software\\Run", "hkey_local_machine\\x", "x.exe",
                                 "\"C:\\P F\\a.exe\" /min"}) {
    EXPECT_EQ(AppendPathDelimiter(Wide(path)), Wide(AppendPathDelimiter(path))) << path;
    EXPECT_EQ(StripPathDelimiter(Wide(path)), Wide(StripPathDelimiter(path))) << path;
    EXPECT_EQ(FileNamePart(Wide(path)), Wide(FileNamePart(path))) << path;
    EXPECT_EQ(FolderPart(Wide(path)), Wide(FolderPart(path))) << path;
    EXPECT_EQ(IsNetworkPath(Wide(path)), IsNetworkPath(path)) << path;
    const auto isFile = [](const std::string& p) { return p == "C:\\P F\\a.exe" || p == "C:\\Tools\\run"; };
    const auto isWideFile = [&](const std::wstring& p) { return isFile(std::string(p.begin(), p.end())); };
    EXPECT_EQ(SplitCommandLine(Wide(path), isWideFile).program, Wide(SplitCommandLine(path, isFile).program));
    EXPECT_EQ(SplitCommandLine(Wide(path), isWideFile).arguments, Wide(SplitCommandLine(path, isFile).arguments));
    for (int width : {1, 5, 12, 40}) {
      const auto length = [](const auto& text) { return static_cast<int>(text.size()); };
      EXPECT_EQ(ShortenPath(Wide(path), length, width), Wide(ShortenPath(path, length, width))) << path << width;
    }
  }
}

TEST(WideText, CharactersBeyondEveryCodePage) {
  // Cyrillic folder, CJK name, an emoji (a surrogate pair).
  const std::wstring path = L"C:\\\u041f\u0430\u043f\u043a\u0430\\\u65e5\u672c.exe";
  EXPECT_EQ(FileNamePart(path), L"\u65e5\u672c.exe");
  EXPECT_EQ(FolderPart(path), L"C:\\\u041f\u0430\u043f\u043a\u0430\\");
  EXPECT_EQ(AppendPathDelimiter(std::wstring(L"C:\\\u041f")), L"C:\\\u041f\\");
  EXPECT_TRUE(MatchesAnyMask(std::wstring(L"\u65e5\u672c.exe"), "*.exe;*.lnk"));
  EXPECT_TRUE(MatchesAnyMask(std::wstring(L"\U0001F600.lnk"), "?.lnk"));  // one character
  EXPECT_FALSE(MatchesAnyMask(std::wstring(L"\u0435xe.txt"), "exe.txt"));  // a Cyrillic look-alike "e"
  EXPECT_FALSE(MatchesAnyMask(std::wstring(L"a.\u0435xe"), "*.exe"));
}
