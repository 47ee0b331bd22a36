// Any bytes as a saved list: read without reading past them, every field
// within the limit, and the entries taken written back as a list read
// back the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../tests/pure/AsciiNoCase.h"
#include "common/Csv.h"
#include "manager/SavedList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const auto known = [](const std::wstring& place) { return !place.empty() && place[0] != L'?'; };
  const SavedList list = ReadSavedList(bytes, L"f.csv", known, AsciiFold);
  std::string again = CsvRecord({L"Location", L"Name", L"Command", L"State", L"Missing", L"Publisher", L"Description",
                                 L"Verified signer", L"Program", L"SHA-256", L"Format"});
  for (const SavedEntry& entry : list.entries) {
    if (entry.name.size() > kLongestSavedField * 3 || entry.command.size() > kLongestSavedField) __builtin_trap();
    std::vector<std::wstring> fields = {entry.location, ListName(entry.name), entry.command, entry.state, L"", L"", L"",
                                        L"", entry.program, entry.sha256, L"velmora-list 2"};
    for (std::wstring& field : fields) field = AsSpreadsheetText(field);
    again += CsvRecord(fields);
  }
  const SavedList reread = ReadSavedList(again, L"f.csv", known, AsciiFold);
  if (reread.entries.size() != list.entries.size()) __builtin_trap();
  for (size_t at = 0; at < list.entries.size(); ++at) {
    const SavedEntry &a = list.entries[at], &b = reread.entries[at];
    if (a.location != b.location || a.name != b.name || a.command != b.command || a.state != b.state ||
        a.program != b.program || a.sha256 != b.sha256)
      __builtin_trap();
  }
  return 0;
}
