#include "common/ImageHash.h"

namespace {

std::uint32_t Read32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}
std::uint16_t Read16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | at[1] << 8); }

constexpr std::size_t kCoffHeader = 20, kChecksumAt = 64;
constexpr std::uint32_t kSecurityDirectory = 4;

}  // namespace

ImageHashPlan PlanImageHash(const std::uint8_t* head, std::size_t headSize, std::uint64_t fileSize) {
  ImageHashPlan plan;
  plan.end = fileSize;
  if (!head || headSize < 0x40 || head[0] != 'M' || head[1] != 'Z') return plan;
  const std::uint64_t pe = Read32(head + 0x3C);
  const std::uint64_t optional = pe + 4 + kCoffHeader;
  if (optional + 2 > headSize || Read32(head + pe) != 0x00004550) return plan;  // "PE\0\0"
  const std::uint16_t magic = Read16(head + optional);
  if (magic != 0x10B && magic != 0x20B) return plan;
  const std::uint64_t countAt = optional + (magic == 0x10B ? 92 : 108);
  const std::uint64_t directories = countAt + 4;
  if (directories > headSize) return plan;
  const std::uint64_t checksum = optional + kChecksumAt;
  plan.image = true;
  plan.skipped.emplace_back(checksum, checksum + 4);
  if (Read32(head + countAt) <= kSecurityDirectory) return plan;
  const std::uint64_t entry = directories + 8 * kSecurityDirectory;
  if (entry + 8 > headSize) {
    plan.image = false;
    plan.skipped.clear();
    return plan;
  }
  plan.skipped.emplace_back(entry, entry + 8);
  const std::uint64_t table = Read32(head + entry), tableSize = Read32(head + entry + 4);
  // The table is the file's last part; anything after it is not hashed either.
  if (tableSize != 0 && table >= entry + 8 && table < fileSize) plan.end = table;
  return plan;
}
