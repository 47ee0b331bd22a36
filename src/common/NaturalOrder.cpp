#include "common/NaturalOrder.h"

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The run of digits, or of other characters, that starts at `at`.
std::wstring_view RunAt(std::wstring_view text, size_t at) {
  const bool digits = IsDigit(text[at]);
  size_t end = at;
  while (end < text.size() && IsDigit(text[end]) == digits) ++end;
  return text.substr(at, end - at);
}

// By value, however long: fewer significant digits is the smaller number.
int CompareNumbers(std::wstring_view a, std::wstring_view b) {
  const auto significant = [](std::wstring_view digits) {
    const size_t first = digits.find_first_not_of(L'0');
    return first == std::wstring_view::npos ? std::wstring_view() : digits.substr(first);
  };
  const std::wstring_view x = significant(a), y = significant(b);
  if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
  return x.compare(y);
}

int Sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

// Digits sort below letters and above most punctuation by their code: a
// run of digits is never equal to a run of other characters, and since the
// digits' codes are contiguous every run of digits falls on the same side
// of a given other run, which keeps the order transitive.
int CompareNatural(std::wstring_view a, std::wstring_view b, TextComparer compareText) {
  int zeros = 0;  // the first difference in leading zeros, for a tie
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const std::wstring_view x = RunAt(a, i), y = RunAt(b, j);
    int order;
    if (IsDigit(x[0]) && IsDigit(y[0])) {
      order = CompareNumbers(x, y);
      if (order == 0 && zeros == 0 && x.size() != y.size()) zeros = x.size() < y.size() ? -1 : 1;
    } else {
      order = compareText(x, y);
    }
    if (order != 0) return Sign(order);
    i += x.size();
    j += y.size();
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  if (zeros != 0) return zeros;
  return Sign(a.compare(b));
}
