#pragma once
// Windows' own switch for a startup entry (the startup settings of Task
// Manager and Settings): a value named like the entry under
// ...\Explorer\StartupApproved\<key>, 12 bytes of REG_BINARY: a flag word
// whose first byte is even for on and odd for off, then a FILETIME of the
// switch. No value means on. Windows does not document the format, so
// anything else is read as "unknown" and shown as on, never rewritten
// unless the user switches the entry.
#include <array>
#include <cstddef>
#include <cstdint>

enum class SwitchState : unsigned char {
  Absent,   // no value: on
  On,       // an even flag byte
  Off,      // an odd flag byte
  Unknown,  // another size or type: shown as on
};

constexpr size_t kSwitchSize = 12;
using SwitchBytes = std::array<std::uint8_t, kSwitchSize>;

SwitchState DecodeSwitch(bool isBinary, const std::uint8_t* data, size_t size);
// What switching on writes: 02 and eleven zero bytes.
SwitchBytes SwitchOnBytes();
// What switching off writes: 03 00 00 00 and the time of the switch, a
// FILETIME (100 ns since 1601), little-endian.
SwitchBytes SwitchOffBytes(std::uint64_t fileTimeNow);
