#include <gtest/gtest.h>

#include "common/Mask.h"

namespace {
const char* const kEntryMask = "*.exe;*.com;*.bat;*.lnk;*.pif";
}

TEST(MatchesAnyMask, EntryMaskList) {
  EXPECT_TRUE(MatchesAnyMask("NOTEPAD.EXE", kEntryMask));
  EXPECT_TRUE(MatchesAnyMask("notepad.exe", kEntryMask));
  EXPECT_TRUE(MatchesAnyMask("Setup.Lnk", kEntryMask));
  EXPECT_TRUE(MatchesAnyMask("old.PIF", kEntryMask));
  EXPECT_TRUE(MatchesAnyMask(".exe", kEntryMask));
  EXPECT_TRUE(MatchesAnyMask("a.bak.exe", kEntryMask));
  EXPECT_FALSE(MatchesAnyMask("readme.txt", kEntryMask));
  EXPECT_FALSE(MatchesAnyMask("a.exe.bak", kEntryMask));
  EXPECT_FALSE(MatchesAnyMask("exe", kEntryMask));
  EXPECT_FALSE(MatchesAnyMask("", kEntryMask));
  EXPECT_FALSE(MatchesAnyMask("a.ex", kEntryMask));
  EXPECT_FALSE(MatchesAnyMask("a.exee", kEntryMask));
}

TEST(MatchesAnyMask, ShortcutMask) {
  EXPECT_TRUE(MatchesAnyMask("x.lnk", "*.lnk"));
  EXPECT_TRUE(MatchesAnyMask("x.LNK", "*.lnk"));
  EXPECT_FALSE(MatchesAnyMask("x.lnk2", "*.lnk"));
  EXPECT_FALSE(MatchesAnyMask("xlnk", "*.lnk"));
}

TEST(MatchesAnyMask, DotAppendedOnlyWhenListHasOne) {
  EXPECT_TRUE(MatchesAnyMask("README", "*."));
  EXPECT_TRUE(MatchesAnyMask("README", "*.*"));
  EXPECT_TRUE(MatchesAnyMask("README", "README"));
  EXPECT_FALSE(MatchesAnyMask("README", "README;x.y"));  // tested as "README."
  EXPECT_TRUE(MatchesAnyMask("README", "README.;x.y"));
}

TEST(MatchesAnyMask, ListsWithEmptyPieces) {
  EXPECT_FALSE(MatchesAnyMask("a.exe", ""));
  EXPECT_TRUE(MatchesAnyMask("a.exe", "*.exe;"));
  EXPECT_TRUE(MatchesAnyMask("a.exe", ";;*.exe"));
  EXPECT_FALSE(MatchesAnyMask("a.exe", ";"));
  // Blanks are part of a mask.
  EXPECT_FALSE(MatchesAnyMask("a.exe", "*.txt; *.exe"));
}

TEST(TMask, StarAndQuestionMark) {
  EXPECT_TRUE(TMask("a*?b").Matches("ab"));
  EXPECT_TRUE(TMask("a*?b").Matches("axxb"));
  EXPECT_FALSE(TMask("a?b").Matches("ab"));
  EXPECT_TRUE(TMask("a?b").Matches("aXb"));
  EXPECT_TRUE(TMask("*").Matches(""));
  EXPECT_FALSE(TMask("?").Matches(""));
  EXPECT_TRUE(TMask("").Matches(""));
  EXPECT_FALSE(TMask("").Matches("a"));
  EXPECT_TRUE(TMask("*a*b*c").Matches("xxaxbxxbxc"));
  EXPECT_FALSE(TMask("*a*b*c").Matches("xxaxbxxbxcx"));
  EXPECT_TRUE(TMask("a*").Matches("a"));
  EXPECT_FALSE(TMask("a*b").Matches("b"));
  // Backtracking past an early partial match.
  EXPECT_TRUE(TMask("*ab").Matches("aab"));
  EXPECT_TRUE(TMask("*.exe").Matches("a.exe.exe"));
}

TEST(TMask, Sets) {
  EXPECT_TRUE(TMask("[a-c]x").Matches("Bx"));
  EXPECT_TRUE(TMask("[a-c]x").Matches("cx"));
  EXPECT_FALSE(TMask("[a-c]x").Matches("dx"));
  EXPECT_TRUE(TMask("[!a-c]x").Matches("dx"));
  EXPECT_FALSE(TMask("[!a-c]x").Matches("Ax"));
  EXPECT_TRUE(TMask("[abc]").Matches("B"));
  EXPECT_FALSE(TMask("[c-a]").Matches("b"));  // a range ending below its start adds nothing
  EXPECT_TRUE(TMask("[c-a]").IsValid());
  EXPECT_TRUE(TMask("[a-]").Matches("-"));
  EXPECT_FALSE(TMask("[!a]").Matches(""));
  EXPECT_FALSE(TMask("[a]").Matches(""));
  // Sets compare non-ASCII bytes exactly.
  EXPECT_TRUE(TMask("[\xE4]").Matches("\xE4"));
  EXPECT_FALSE(TMask("[\xE4]").Matches("\xC4"));
}

TEST(TMask, CaseFoldingIsAsciiOnly) {
  EXPECT_TRUE(TMask("ABC").Matches("abc"));
  EXPECT_FALSE(TMask("\xE4").Matches("\xC4"));
  EXPECT_TRUE(TMask("\xE4").Matches("\xE4"));
  EXPECT_FALSE(TMask("[").Matches("{"));  // '[' opens a set, never a literal
}

TEST(TMask, MalformedMasksMatchNothing) {
  for (const char* mask : {"[abc", "[", "[]", "[!]", "[-a]", "a[", "[!"}) {
    EXPECT_FALSE(TMask(mask).IsValid()) << mask;
    EXPECT_FALSE(TMask(mask).Matches("a")) << mask;
    EXPECT_FALSE(TMask(mask).Matches("")) << mask;
  }
  std::string thirty, thirtyOne;
  for (int i = 0; i < 30; ++i) thirty += "*a";
  thirtyOne = thirty + "*a";
  EXPECT_TRUE(TMask(thirty).IsValid());
  EXPECT_TRUE(TMask(thirty).Matches(std::string(30, 'a')));
  EXPECT_FALSE(TMask(thirtyOne).IsValid());
  // "**?*" is one run.
  EXPECT_TRUE(TMask("a**?*b").IsValid());
}

TEST(TMask, LongNamesStayLinear) {
  const std::string name(100000, 'a');
  EXPECT_FALSE(TMask("*a*a*a*a*a*a*b").Matches(name));
  EXPECT_TRUE(TMask("*a*a*a*a*a*a*a").Matches(name));
}

#ifndef _WIN32
#include "common/LeadBytes.h"
TEST(TMask, DoubleBytePairsMatchExactly) {
  LeadByteTable table{};
  table[0x81] = true;
  SetLeadBytes(table);
  EXPECT_TRUE(TMask("\x81\x61.exe").Matches("\x81\x61.exe"));
  EXPECT_FALSE(TMask("\x81\x61.exe").Matches("\x81\x41.exe"));  // no folding inside a pair
  EXPECT_TRUE(TMask("?.exe").Matches("\x81\x61.exe"));        // one character
  EXPECT_TRUE(TMask("*\x81\x61").Matches("a\x81\x61"));
  // The trail byte of a pair never starts a match of its own.
  EXPECT_FALSE(TMask("*a").Matches("\x81\x61"));
  EXPECT_TRUE(TMask("[\x81\x61]").IsValid());
  // A lead byte at the very end stands alone.
  EXPECT_TRUE(TMask("a?").Matches("a\x81"));
  SetLeadBytes(LeadByteTable{});
}
#endif
