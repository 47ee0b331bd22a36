// Path shortening with a synthetic width: it must end, never grow past the
// pass bound, and any result it calls fitting must fit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "common/PathShortening.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  ChooseCodePage(data[0]);
  const int maxWidth = data[1];
  const std::string path(reinterpret_cast<const char*>(data + 2), size - 2);
  int measured = 0;
  const auto width = [&](const std::string& text) {
    if (++measured > static_cast<int>(path.size()) * 2 + 8) __builtin_trap();  // passes are bounded
    int w = 0;
    for (unsigned char c : text) w += 1 + (c & 3);
    return w;
  };
  const std::string result = ShortenPath(path, width, maxWidth);
  if (result.size() > path.size() + 3) __builtin_trap();
  if (!path.empty()) {
    std::string folder = path;
    DropLeadingFolder(folder);
  }
  return 0;
}
