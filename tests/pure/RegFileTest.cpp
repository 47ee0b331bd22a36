// The registry editor's export format, as the records of removed entries
// and Export write it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/RegFile.h"

namespace {

std::vector<std::uint8_t> Utf16(const std::wstring& text, bool terminated = true) {
  std::vector<std::uint8_t> bytes;
  for (const wchar_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  if (terminated) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

const std::wstring kRun = L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct LineCase {
  const char* what;
  RegFileValue value;
  std::wstring line;
};

TEST(RegFile, WritesEachValueSoThatTheEditorGivesBackItsBytes) {
  const LineCase cases[] = {
      {"a string, quotes and backslashes escaped", {kRun, L"Na\"me\\x", 1, Utf16(L"\"C:\\a b\\x.exe\" /q")},
       L"\"Na\\\"me\\\\x\"=\"\\\"C:\\\\a b\\\\x.exe\\\" /q\""},
      {"the default value", {kRun, L"", 1, Utf16(L"x")}, L"@=\"x\""},
      {"'=' and non-ANSI text", {kRun, L"a=\u0416", 1, Utf16(L"=\u65e5")}, L"\"a=\u0416\"=\"=\u65e5\""},
      {"a line break in the data", {kRun, L"n", 1, Utf16(L"a\r\nb")},
       L"\"n\"=hex(1):61,00,0d,00,0a,00,62,00,00,00"},
      {"no terminator", {kRun, L"n", 1, Utf16(L"ab", false)}, L"\"n\"=hex(1):61,00,62,00"},
      {"a NUL inside", {kRun, L"n", 1, Utf16(std::wstring(L"a\0b", 3))}, L"\"n\"=hex(1):61,00,00,00,62,00,00,00"},
      {"an odd size", {kRun, L"n", 1, {0x61, 0, 0}}, L"\"n\"=hex(1):61,00,00"},
      {"empty", {kRun, L"n", 1, {}}, L"\"n\"=hex(1):"},
      {"expandable", {kRun, L"e", 2, Utf16(L"%A%")}, L"\"e\"=hex(2):25,00,41,00,25,00,00,00"},
      {"binary", {kRun, L"s", 3, {3, 0, 0, 0}}, L"\"s\"=hex:03,00,00,00"},
      {"a dword", {kRun, L"d", 4, {0x2a, 0, 0, 0x80}}, L"\"d\"=dword:8000002a"},
      {"a short dword", {kRun, L"d", 4, {0x2a}}, L"\"d\"=hex(4):2a"},
      {"multi-string", {kRun, L"m", 7, {0x61, 0, 0, 0, 0, 0}}, L"\"m\"=hex(7):61,00,00,00,00,00"},
      {"a qword's type in hex", {kRun, L"q", 11, {1, 2, 3, 4, 5, 6, 7, 8}}, L"\"q\"=hex(b):01,02,03,04,05,06,07,08"},
  };
  for (const LineCase& c : cases) {
    const std::wstring text = RegFileText({c.value});
    EXPECT_EQ(text, L"Windows Registry Editor Version 5.00\r\n\r\n[" + kRun + L"]\r\n" + c.line + L"\r\n\r\n")
        << c.what;
  }
}

TEST(RegFile, WrapsLongHexKeysSectionsAndLeavesOutNamesItCannotCarry) {
  const std::wstring other = L"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::wstring text = RegFileText({{kRun, L"a", 3, std::vector<std::uint8_t>(40, 0xAB)},
                                         {other, L"b", 1, Utf16(L"x")},
                                         {kRun, std::wstring(L"c\0d", 3), 1, Utf16(L"hidden")},
                                         {kRun, L"e\nf", 1, Utf16(L"hidden")},
                                         {kRun, L"g", 1, Utf16(L"y")}});
  EXPECT_EQ(text.find(L"hidden"), std::wstring::npos);
  EXPECT_EQ(text.find(L"[" + kRun + L"]"), text.rfind(L"[" + kRun + L"]"));  // one section a key
  EXPECT_LT(text.find(kRun), text.find(other));
  EXPECT_LT(text.find(L"\"g\"=\"y\""), text.find(other));
  // The 40 bytes run over lines of at most 80 characters, each but the
  // last ending in a comma and a backslash.
  const size_t first = text.find(L"\"a\"=hex:"), last = text.find(L"\r\n", text.find(L"ab\r\n", first));
  size_t lines = 0;
  for (size_t at = first; at < last; ++lines) {
    const size_t end = text.find(L"\r\n", at);
    EXPECT_LE(end - at, 80u);
    if (end < last) {
      EXPECT_EQ(text.substr(end - 2, 2), L",\\");
    }
    at = end + 2;
  }
  EXPECT_GE(lines, 2u);
  EXPECT_FALSE(RegFileCarriesName(std::wstring(L"c\0d", 3)));
  EXPECT_FALSE(RegFileCarriesName(L"e\r"));
  EXPECT_TRUE(RegFileCarriesName(L"..\\..\\x:*?"));
  EXPECT_EQ(RegFileBytes(L"A\u0416"), (std::vector<std::uint8_t>{0xFF, 0xFE, 0x41, 0, 0x16, 0x04}));
}

}  // namespace
