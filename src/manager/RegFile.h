#pragma once
// The registry editor's own export format ("Windows Registry Editor
// Version 5.00", UTF-16LE with a byte-order mark), written so that the
// system's registry editor imports every value byte-exact by itself:
// a string value in the quoted form only when that form gives back its
// exact bytes, everything else as hex with its type. Plain values only,
// so that it is tested and fuzzed natively.
#include <cstdint>
#include <string>
#include <vector>

struct RegFileValue {
  std::wstring key;   // the full key name: "HKEY_CURRENT_USER\Software\..."
  std::wstring name;  // empty for the key's default value
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

// A name the format can carry: one with a NUL or a line break cannot be
// written (the editor reads a name up to its closing quote on one line).
bool RegFileCarriesName(const std::wstring& name);

// The file's text: the header, then each key's section (in the order the
// keys first appear) with its values. Values whose names the format
// cannot carry are left out.
std::wstring RegFileText(const std::vector<RegFileValue>& values);

// The text as the file holds it: a byte-order mark and UTF-16LE.
std::vector<std::uint8_t> RegFileBytes(const std::wstring& text);
