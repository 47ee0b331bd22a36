#pragma once
// Lead bytes of the active ANSI code page. Pure text code asks here instead
// of calling IsDBCSLeadByte directly, so that it also builds without
// windows.h: the Windows build answers from the system, the native build
// from a table that tests can fill (empty: a single-byte code page).
#include <array>

bool IsLeadByte(unsigned char byte);

#ifndef _WIN32
using LeadByteTable = std::array<bool, 256>;
void SetLeadBytes(const LeadByteTable& table);
#endif
