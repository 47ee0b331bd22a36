#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/NaturalOrder.h"

namespace {

// What CompareStringOrdinal ignoring case does for these texts.
int AsciiNoCase(std::wstring_view a, std::wstring_view b) {
  const auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; };
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return upper(a[i]) < upper(b[i]) ? -1 : 1;
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// Every pair of the list in its order, both ways round.
TEST(NaturalOrder, SortsRunsOfDigitsByValue) {
  const std::vector<std::wstring> sorted = {
      L"",      L"-x",   L"1",     L"01",   L"2",       L"10",         L"99999999999999999999",
      L"100000000000000000000", L"A",  L"a1", L"App",    L"App2",       L"app2",  L"App2b",
      L"App10", L"app010", L"App10a", L"Appx", L"b",    L"\u0411\u0435\u0442\u0430"};
  for (size_t i = 0; i < sorted.size(); ++i) {
    EXPECT_EQ(CompareNatural(sorted[i], sorted[i], AsciiNoCase), 0);
    for (size_t j = i + 1; j < sorted.size(); ++j) {
      EXPECT_LT(CompareNatural(sorted[i], sorted[j], AsciiNoCase), 0) << i << " " << j;
      EXPECT_GT(CompareNatural(sorted[j], sorted[i], AsciiNoCase), 0) << i << " " << j;
    }
  }
}

}  // namespace
