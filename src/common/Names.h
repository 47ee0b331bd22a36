#pragma once
// "The same name" as the registry and the file system decide it: ordinal
// and case-insensitive on the UTF-16 names, never a locale's linguistic
// rules (which call a sharp s and "ss", or a name with a soft hyphen and
// one without, equal).
#include <string>
#include <string_view>

bool SameName(const std::wstring& a, const std::wstring& b);
// Orders two texts as SameName compares them: negative, zero or positive.
int CompareNames(std::wstring_view a, std::wstring_view b);
// The list's order of two texts: CompareNames with runs of digits by
// their value (NaturalOrder.h).
int CompareNaturally(std::wstring_view a, std::wstring_view b);

// The one spelling all names that are the same name share (each character
// through the system's upper-case table, the one SameName compares by), to
// look names up in a hash map.
std::wstring FoldedName(const std::wstring& name);
