// Mask lists and single masks, malformed ones included: matching must not
// read outside the mask or the name, and must agree with itself.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "common/Mask.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  ChooseCodePage(data[0]);
  // Then mask and name, split at the first NUL.
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  const auto split = input.find('\0');
  const std::string mask = input.substr(0, split);
  const std::string name = split == std::string::npos ? std::string() : input.substr(split + 1);
  const bool any = MatchesAnyMask(name, mask);
  TMask single(mask);
  const bool one = single.Matches(name);
  if (mask.find(';') == std::string::npos && (mask.find('.') == std::string::npos || name.find('.') != std::string::npos) &&
      !mask.empty() && any != one)
    __builtin_trap();
  if (single.IsValid() && TMask("*").Matches(name) != true) __builtin_trap();
  return 0;
}
