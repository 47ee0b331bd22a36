#pragma once
// How the rows on screen become a fresh listing with the fewest changes:
// rows are matched by identity (their node and exact name); a row that
// stays keeps its place, selection and scroll position. Plain values
// only, so that the plan is tested and fuzzed natively.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct RowIdentity {
  std::uintptr_t node;
  std::wstring_view name;
  bool operator==(const RowIdentity& other) const { return node == other.node && name == other.name; }
};

struct MergePlan {
  // Rows of the current list that go, from the bottom up, so that the
  // indices above each stay valid.
  std::vector<size_t> removed;
  // The rows that stay are not in the fresh listing's order: fill afresh.
  bool rebuild = false;
  // Then, in the fresh listing's order: either the next row that stays
  // (it is fresh[fresh]; its contents may need updating) or a new row
  // inserted at that place.
  struct Step {
    bool insert;
    size_t fresh;
  };
  std::vector<Step> walk;
};

MergePlan PlanMerge(const std::vector<RowIdentity>& current, const std::vector<RowIdentity>& fresh);

// Applies a plan to plain rows: what a list of `Row`s becomes. `current`
// and `fresh` are the rows whose identities the plan was made from.
template <class Row>
std::vector<Row> ApplyMergePlan(const MergePlan& plan, std::vector<Row> current, const std::vector<Row>& fresh) {
  if (plan.rebuild) return fresh;
  for (const size_t row : plan.removed) current.erase(current.begin() + static_cast<std::ptrdiff_t>(row));
  size_t row = 0;
  for (const MergePlan::Step& step : plan.walk) {
    if (step.insert)
      current.insert(current.begin() + static_cast<std::ptrdiff_t>(row), fresh[step.fresh]);
    else
      current[row] = fresh[step.fresh];
    ++row;
  }
  return current;
}
