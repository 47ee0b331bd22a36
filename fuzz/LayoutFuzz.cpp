// Any bytes as a saved window layout: a layout that is read is written
// and read back the same, and nothing is read past the bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "manager/WindowLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WindowLayout layout;
  if (!ParseLayout(std::string(reinterpret_cast<const char*>(data), size), layout)) return 0;
  WindowLayout again;
  if (!ParseLayout(FormatLayout(layout), again) || FormatLayout(again) != FormatLayout(layout)) __builtin_trap();
  return 0;
}
