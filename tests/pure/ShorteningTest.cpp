#include <gtest/gtest.h>

#include <vector>

#include "common/PathShortening.h"

namespace {
// Exact widths: one pixel a byte, and a record of every measured text.
struct ByteWidth {
  std::vector<std::string>* measured;
  int operator()(const std::string& text) const {
    measured->push_back(text);
    return static_cast<int>(text.size());
  }
};

std::vector<std::string> Passes(const std::string& path, int maxWidth) {
  std::vector<std::string> measured;
  const std::string result = ShortenPath(path, ByteWidth{&measured}, maxWidth);
  measured.push_back(result);
  return measured;
}
}  // namespace

TEST(ShortenPath, WorkedExamplePassByPass) {
  const auto passes = Passes("C:\\Program Files\\Apps\\bin\\tool.exe", 1);
  const std::vector<std::string> expected = {
      "C:\\Program Files\\Apps\\bin\\tool.exe", "C:\\...\\Apps\\bin\\tool.exe", "C:\\...\\bin\\tool.exe",
      "C:\\...\\tool.exe", "...\\tool.exe",
      "tool.exe"};  // the result: nothing is left to shorten, so it is not measured
  EXPECT_EQ(passes, expected);
}

TEST(ShortenPath, StopsAtFirstFittingCandidate) {
  // Exactly as wide as the maximum fits.
  EXPECT_EQ(ShortenPath("C:\\a\\b\\c.txt", [](const std::string& t) { return int(t.size()); }, 12), "C:\\a\\b\\c.txt");
  EXPECT_EQ(ShortenPath("C:\\a\\b\\c.txt", [](const std::string& t) { return int(t.size()); }, 11), "...\\c.txt");
  EXPECT_EQ(ShortenPath("C:\\Program Files\\Apps\\bin\\tool.exe",
                        [](const std::string& t) { return int(t.size()); }, 19),
            "C:\\...\\bin\\tool.exe");
}

TEST(ShortenPath, BareNamesAndDriveForms) {
  const auto width = [](const std::string& t) { return int(t.size()); };
  EXPECT_EQ(ShortenPath("tool.exe", width, 0), "tool.exe");
  EXPECT_EQ(ShortenPath("", width, 0), "");
  EXPECT_EQ(Passes("C:tool.exe", 0), (std::vector<std::string>{"C:tool.exe", "tool.exe"}));
  EXPECT_EQ(Passes("C:\\tool.exe", 0),
            (std::vector<std::string>{"C:\\tool.exe", "C:tool.exe", "tool.exe"}));
  // A path ending in a backslash has an empty name.
  EXPECT_EQ(ShortenPath("C:\\dir\\", width, 0), "");
}

TEST(ShortenPath, NetworkPathPassByPass) {
  const auto passes = Passes("\\\\srv\\share\\dir\\f.txt", 0);
  const std::vector<std::string> expected = {
      "\\\\srv\\share\\dir\\f.txt", "\\...\\srv\\share\\dir\\f.txt", "\\...\\share\\dir\\f.txt",
      "\\...\\dir\\f.txt", "\\...\\f.txt", "...\\f.txt", "f.txt"};
  EXPECT_EQ(passes, expected);
}

TEST(DropLeadingFolder, OnePass) {
  std::string folder = "\\";
  DropLeadingFolder(folder);
  EXPECT_EQ(folder, "");
  folder = "\\a\\b\\";
  DropLeadingFolder(folder);
  EXPECT_EQ(folder, "\\...\\b\\");
  folder = "a\\b\\";
  DropLeadingFolder(folder);
  EXPECT_EQ(folder, "...\\b\\");
  folder = "...\\b\\";
  DropLeadingFolder(folder);
  EXPECT_EQ(folder, "...\\");
  folder = "...\\";
  DropLeadingFolder(folder);
  EXPECT_EQ(folder, "");
  // A first folder beginning with "." loses four characters as if it were the mark.
  folder = "\\.config\\x\\";
  DropLeadingFolder(folder);
  EXPECT_EQ(folder, "\\...\\x\\");
  folder = ".ab";  // shorter than the mark
  DropLeadingFolder(folder);
  EXPECT_EQ(folder, "");
  folder = "\\x";
  DropLeadingFolder(folder);
  EXPECT_EQ(folder, "\\");
}

#ifndef _WIN32
#include "common/LeadBytes.h"
TEST(DropLeadingFolder, DoubleByteCharactersAreSkippedWhole) {
  LeadByteTable table{};
  table[0x81] = true;
  SetLeadBytes(table);
  // 0x81 0x5C is one character whose trail byte is a backslash.
  std::string folder = "a\x81\\b\\c\\";
  DropLeadingFolder(folder);
  EXPECT_EQ(folder, "...\\c\\");
  SetLeadBytes(LeadByteTable{});
}
#endif
