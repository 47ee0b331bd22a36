#include "manager/StartupApproval.h"

ApprovalState DecodeApproval(bool isBinary, const std::uint8_t* data, size_t size) {
  if (!isBinary || size != kApprovalSize || !data) return ApprovalState::Unknown;
  return (data[0] & 1) ? ApprovalState::Off : ApprovalState::On;
}

ApprovalBytes ApprovalOnBytes() {
  ApprovalBytes bytes{};
  bytes[0] = 0x02;
  return bytes;
}

ApprovalBytes ApprovalOffBytes(std::uint64_t fileTimeNow) {
  ApprovalBytes bytes{};
  bytes[0] = 0x03;
  for (size_t at = 0; at < 8; ++at) bytes[4 + at] = static_cast<std::uint8_t>(fileTimeNow >> (8 * at));
  return bytes;
}
