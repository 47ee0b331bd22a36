#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AsciiNoCase.h"
#include "common/NaturalOrder.h"

namespace {

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
