// Any bytes as the records' index: read without reading past them; what
// is read is written back to the bytes it was read from, and an index
// read whole is exactly those bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "manager/RecordIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bool whole = false;
  const std::vector<RecordSummary> summaries = DecodeSummaries(data, size, &whole);
  std::vector<std::uint8_t> again;
  for (const RecordSummary& summary : summaries) {
    const std::vector<std::uint8_t> one = EncodeSummary(summary);
    again.insert(again.end(), one.begin(), one.end());
  }
  if (again.size() > size || !std::equal(again.begin(), again.end(), data)) __builtin_trap();
  if (whole != (again.size() == size)) __builtin_trap();
  return 0;
}
