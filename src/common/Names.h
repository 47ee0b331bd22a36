#pragma once
// "The same name" as the registry and the file system decide it: ordinal
// and case-insensitive on the UTF-16 names, never a locale's linguistic
// rules (which call a sharp s and "ss", or a name with a soft hyphen and
// one without, equal).
#include <string>

bool SameName(const std::wstring& a, const std::wstring& b);

// The one spelling all names that are the same name share (each character
// through the system's upper-case table, the one SameName compares by), to
// look names up in a hash map.
std::wstring FoldedName(const std::wstring& name);
