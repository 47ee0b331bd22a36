#pragma once
// What CompareStringOrdinal ignoring case does for ASCII texts, and the
// fold that matches it: the text comparer and the name fold the pure units
// are tested and fuzzed with, away from Windows.
#include <string>
#include <string_view>

inline int AsciiNoCase(std::wstring_view a, std::wstring_view b) {
  const auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; };
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return upper(a[i]) < upper(b[i]) ? -1 : 1;
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

inline std::wstring AsciiFold(const std::wstring& text) {
  std::wstring folded = text;
  for (wchar_t& c : folded)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
  return folded;
}
