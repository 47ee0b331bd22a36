#include "common/LeadBytes.h"

namespace {
LeadByteTable leadBytes{};
}

bool IsLeadByte(unsigned char byte) { return leadBytes[byte]; }

void SetLeadBytes(const LeadByteTable& table) { leadBytes = table; }
