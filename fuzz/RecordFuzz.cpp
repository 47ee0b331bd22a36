// Any bytes as a record's index: read without reading past them, and what
// is read is written back to the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "manager/RecordIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EntryRecord record;
  if (!DecodeRecord(data, size, record)) return 0;
  const std::vector<std::uint8_t> again = EncodeRecord(record);
  if (again.size() != size || !std::equal(again.begin(), again.end(), data)) __builtin_trap();
  return 0;
}
