// Any bytes as a last look: read without reading past them, and what is
// read is written back to the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "manager/RecordIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LastLook look;
  if (!DecodeLastLook(data, size, look)) return 0;
  const std::vector<std::uint8_t> again = EncodeLastLook(look);
  if (again.size() != size || !std::equal(again.begin(), again.end(), data)) __builtin_trap();
  return 0;
}
