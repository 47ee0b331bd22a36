#include "manager/SwitchFormat.h"

SwitchState DecodeSwitch(bool isBinary, const std::uint8_t* data, size_t size) {
  if (!isBinary || size != kSwitchSize || !data) return SwitchState::Unknown;
  return (data[0] & 1) ? SwitchState::Off : SwitchState::On;
}

SwitchBytes SwitchOnBytes() {
  SwitchBytes bytes{};
  bytes[0] = 0x02;
  return bytes;
}

SwitchBytes SwitchOffBytes(std::uint64_t fileTimeNow) {
  SwitchBytes bytes{};
  bytes[0] = 0x03;
  for (size_t at = 0; at < 8; ++at) bytes[4 + at] = static_cast<std::uint8_t>(fileTimeNow >> (8 * at));
  return bytes;
}
