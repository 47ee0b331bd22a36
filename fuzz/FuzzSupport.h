#pragma once
#include <cstdint>

#include "common/LeadBytes.h"

// The first input byte chooses the code page: odd plays a double-byte one
// (lead bytes 0x81..0x9F), even a single-byte one.
inline void ChooseCodePage(uint8_t selector) {
  LeadByteTable table{};
  if (selector & 1)
    for (int b = 0x81; b <= 0x9F; ++b) table[b] = true;
  SetLeadBytes(table);
}
