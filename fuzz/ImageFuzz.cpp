// Any bytes as a program's headers: the plan never reads past them, its
// ranges left out lie in order inside the hashed part, and it ends
// within the file.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/ImageHash.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the bytes given: reading one past them is caught.
  const std::vector<uint8_t> head(data, data + size);
  const uint64_t fileSize = size + (size > 8 ? data[size - 1] * 4096u : 0);
  const ImageHashPlan plan = PlanImageHash(head.empty() ? nullptr : head.data(), head.size(), fileSize);
  if (plan.end > fileSize || (!plan.image && !plan.skipped.empty())) __builtin_trap();
  uint64_t last = 0;
  for (const auto& [from, to] : plan.skipped) {
    if (from < last || to <= from || to > size) __builtin_trap();
    last = to;
  }
  return 0;
}
