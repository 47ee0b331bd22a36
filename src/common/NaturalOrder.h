#pragma once
// The order a list sorts names in, the same on every machine: runs of the
// digits 0-9 compare by their value ("App2" before "App10"), the text
// between them by `compareText`, which the Windows side makes an ordinal
// comparison ignoring case (CompareStringOrdinal). Texts equal so compare
// by fewer leading zeros, then ordinally as they are, so that two
// different texts never tie.
#include <cstddef>
#include <string_view>

// Negative, zero or positive as `a` sorts before, with or after `b`.
using TextComparer = int (*)(std::wstring_view a, std::wstring_view b);

int CompareNatural(std::wstring_view a, std::wstring_view b, TextComparer compareText);
