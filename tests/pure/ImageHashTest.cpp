// Which bytes the catalogs' hash of a program covers: a PE image without
// its checksum, its certificate table's entry and the table; anything else
// whole.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/ImageHash.h"

namespace {

void Put32(std::vector<std::uint8_t>& bytes, size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Headers of an image: PE32 or PE32+, its directory count and its
// certificate table's entry.
std::vector<std::uint8_t> Image(std::uint16_t magic, std::uint32_t directories, std::uint32_t table,
                                std::uint32_t tableSize) {
  std::vector<std::uint8_t> head(0x400, 0);
  head[0] = 'M';
  head[1] = 'Z';
  Put32(head, 0x3C, 0x80);
  Put32(head, 0x80, 0x00004550);
  const size_t optional = 0x80 + 24;
  head[optional] = static_cast<std::uint8_t>(magic);
  head[optional + 1] = static_cast<std::uint8_t>(magic >> 8);
  const size_t count = optional + (magic == 0x10B ? 92 : 108);
  Put32(head, count, directories);
  Put32(head, count + 4 + 32, table);
  Put32(head, count + 4 + 36, tableSize);
  return head;
}

using Ranges = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

TEST(ImageHash, LeavesOutTheChecksumAndTheCertificates) {
  const size_t checksum = 0x98 + 64, entry32 = 0x98 + 96 + 32, entry64 = 0x98 + 112 + 32;
  struct Case {
    const char* what;
    std::vector<std::uint8_t> head;
    std::uint64_t fileSize;
    bool image;
    Ranges skipped;
    std::uint64_t end;
  };
  std::vector<std::uint8_t> notPe = Image(0x10B, 16, 0, 0);
  notPe[0x80] = 'X';
  std::vector<std::uint8_t> cutShort = Image(0x10B, 16, 0x1000, 0x200);
  cutShort.resize(0x100);
  const Case cases[] = {
      {"signed PE32", Image(0x10B, 16, 0x1000, 0x200), 0x1200, true, {{checksum, checksum + 4}, {entry32, entry32 + 8}},
       0x1000},
      {"signed PE32+", Image(0x20B, 16, 0x1000, 0x200), 0x1200, true, {{checksum, checksum + 4}, {entry64, entry64 + 8}},
       0x1000},
      {"no certificates", Image(0x10B, 16, 0, 0), 0x1200, true, {{checksum, checksum + 4}, {entry32, entry32 + 8}},
       0x1200},
      {"a table past the end", Image(0x10B, 16, 0x5000, 0x200), 0x1200, true,
       {{checksum, checksum + 4}, {entry32, entry32 + 8}}, 0x1200},
      {"no security directory", Image(0x10B, 4, 0x1000, 0x200), 0x1200, true, {{checksum, checksum + 4}}, 0x1200},
      {"another magic", Image(0x107, 16, 0x1000, 0x200), 0x1200, false, {}, 0x1200},
      {"no PE signature", notPe, 0x1200, false, {}, 0x1200},
      {"cut short", cutShort, 0x1200, false, {}, 0x1200},
      {"a text file", std::vector<std::uint8_t>(100, 'x'), 100, false, {}, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ImageHashPlan plan = PlanImageHash(c.head.data(), c.head.size(), c.fileSize);
    EXPECT_EQ(plan.image, c.image);
    EXPECT_EQ(plan.skipped, c.skipped);
    EXPECT_EQ(plan.end, c.end);
  }
  EXPECT_FALSE(PlanImageHash(nullptr, 0, 0).image);
}

}  // namespace
