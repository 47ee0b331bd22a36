// The saved list's fields: names with what no spreadsheet shows written as
// escapes, and formula-like fields as text, each read back exactly.
#include <gtest/gtest.h>

#include <string>

#include "common/Csv.h"

TEST(ListFields, NamesAndFormulasRoundTrip) {
  const struct {
    std::wstring name, written;
  } names[] = {
      {L"plain \u4e2d", L"plain \u4e2d"},
      {std::wstring(L"Tray\0Svc", 8), L"Tray%00Svc"},
      {L"two\r\nlines", L"two%0D%0Alines"},
      {L"100% sure", L"100%25 sure"},
      {L"%0A as typed", L"%250A as typed"},
      {L"0001\\Depend\\x", L"0001\\Depend\\x"},
  };
  for (const auto& n : names) {
    EXPECT_EQ(ListName(n.name), n.written);
    EXPECT_EQ(NameOfList(n.written), n.name);
  }
  // A first-format name with a percent sign of its own is taken as written
  // where it is no escape of ours.
  EXPECT_EQ(NameOfList(L"50%off %zz"), L"50%off %zz");
  const struct {
    std::wstring field, written;
  } fields[] = {
      {L"=HYPERLINK(\"x\")", L"'=HYPERLINK(\"x\")"}, {L"+1", L"'+1"},     {L"-cmd", L"'-cmd"},
      {L"@SUM(A1)", L"'@SUM(A1)"},                   {L"\tx", L"'\tx"},   {L"\rx", L"'\rx"},
      {L"'quoted", L"''quoted"},                      {L"C:\\a=b", L"C:\\a=b"}, {L"", L""},
  };
  for (const auto& f : fields) {
    EXPECT_EQ(AsSpreadsheetText(f.field), f.written);
    EXPECT_EQ(FromSpreadsheetText(f.written), f.field);
  }
}
