// Any rows on screen and any fresh listing: the plan's result is the
// listing, and every row that stays keeps its identity and its place in
// order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "manager/MergePlan.h"

namespace {

// Two bytes a row: its node (0..3) and a name from a small alphabet, so
// that repeats and namesakes in other nodes are common.
std::vector<std::wstring> Names(const uint8_t* data, size_t size, std::vector<std::uintptr_t>& nodes) {
  std::vector<std::wstring> names;
  for (size_t at = 0; at + 1 < size; at += 2) {
    nodes.push_back(data[at] & 3);
    names.push_back(std::wstring(1, static_cast<wchar_t>(L'a' + data[at + 1] % 6)) +
                    (data[at + 1] & 0x80 ? std::wstring(1, L'\0') : std::wstring()));
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t split = std::min<size_t>(data[0], size - 1) & ~size_t(1);
  std::vector<std::uintptr_t> currentNodes, freshNodes;
  const std::vector<std::wstring> currentNames = Names(data + 1, split, currentNodes);
  const std::vector<std::wstring> freshNames = Names(data + 1 + split, size - 1 - split, freshNodes);
  std::vector<RowIdentity> current, fresh;
  for (size_t at = 0; at < currentNames.size(); ++at) current.push_back(RowIdentity{currentNodes[at], currentNames[at]});
  for (size_t at = 0; at < freshNames.size(); ++at) fresh.push_back(RowIdentity{freshNodes[at], freshNames[at]});
  const MergePlan plan = PlanMerge(current, fresh);
  // Rows tagged with where they came from: -1 for fresh ones.
  struct Tagged {
    RowIdentity identity;
    long from;
  };
  std::vector<Tagged> rows, listed;
  for (size_t at = 0; at < current.size(); ++at) rows.push_back({current[at], static_cast<long>(at)});
  for (const RowIdentity& identity : fresh) listed.push_back({identity, -1});
  if (!plan.rebuild) {
    for (size_t at = 1; at < plan.removed.size(); ++at)
      if (plan.removed[at - 1] <= plan.removed[at]) __builtin_trap();
    for (const size_t row : plan.removed) {
      if (row >= rows.size()) __builtin_trap();
      rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
    }
    size_t row = 0;
    for (const MergePlan::Step& step : plan.walk) {
      if (step.fresh >= fresh.size() || row > rows.size()) __builtin_trap();
      if (step.insert) {
        rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(row), listed[step.fresh]);
      } else {
        // A row that stays is the fresh row of the same identity.
        if (row >= rows.size() || !(rows[row].identity == fresh[step.fresh])) __builtin_trap();
      }
      ++row;
    }
    if (row != rows.size()) __builtin_trap();
  } else {
    rows = listed;
  }
  if (rows.size() != fresh.size()) __builtin_trap();
  long previous = -1;
  for (size_t at = 0; at < rows.size(); ++at) {
    if (!(rows[at].identity == fresh[at])) __builtin_trap();
    if (rows[at].from >= 0) {
      if (rows[at].from <= previous) __builtin_trap();  // staying rows keep their order
      previous = rows[at].from;
    }
  }
  return 0;
}
