#include <windows.h>

#include "common/LeadBytes.h"

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }
