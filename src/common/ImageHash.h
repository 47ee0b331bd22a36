#pragma once
// Which bytes of a program the catalogs' hash of a PE image covers: all of
// the file but its checksum, the certificate table's directory entry and
// the certificate table itself (Authenticode's image hash, which is how
// Windows looks a program up in its catalogs). Plain values only: built
// natively, tested and fuzzed.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

struct ImageHashPlan {
  bool image = false;  // a PE image; else the file is hashed whole
  // The ranges [first, second) left out, in order.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> skipped;
  std::uint64_t end = 0;  // nothing from here on is hashed (the certificate table's start)
};

// `head` is the start of the file (its headers; 4 KB is enough for any
// image Windows loads), `fileSize` its whole size.
ImageHashPlan PlanImageHash(const std::uint8_t* head, std::size_t headSize, std::uint64_t fileSize);
