// The plan that brings the rows on screen in line with a fresh listing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/MergePlan.h"

namespace {

// A row as the tests write it: "node:name"; "=" after it marks new contents.
struct Row {
  std::uintptr_t node;
  std::wstring name;
  int version = 0;
  bool operator==(const Row& other) const { return node == other.node && name == other.name && version == other.version; }
};

std::vector<RowIdentity> Identities(const std::vector<Row>& rows) {
  std::vector<RowIdentity> identities;
  for (const Row& row : rows) identities.push_back(RowIdentity{row.node, row.name});
  return identities;
}

struct MergeCase {
  const char* what;
  std::vector<Row> current, fresh;
  size_t removed, inserted;
  bool rebuild;
};

TEST(MergePlan, BringsTheRowsInLineWithTheListing) {
  const MergeCase cases[] = {
      {"nothing changed", {{1, L"a"}, {1, L"b"}}, {{1, L"a"}, {1, L"b"}}, 0, 0, false},
      {"one gone", {{1, L"a"}, {1, L"b"}, {1, L"c"}}, {{1, L"a"}, {1, L"c"}}, 1, 0, false},
      {"one new in the middle", {{1, L"a"}, {1, L"c"}}, {{1, L"a"}, {1, L"b"}, {1, L"c"}}, 0, 1, false},
      {"renamed", {{1, L"A"}, {1, L"Foo"}, {1, L"Gar"}}, {{1, L"A"}, {1, L"Gar"}, {1, L"Zed"}}, 1, 1, false},
      {"a case-only rename is another row", {{1, L"foo"}}, {{1, L"Foo"}}, 1, 1, false},
      {"the same name in another node", {{1, L"Dup"}, {2, L"Dup"}}, {{2, L"Dup"}}, 1, 0, false},
      {"a NUL name beside its prefix", {{1, std::wstring(L"Foo\0Bar", 7)}, {1, L"Foo"}}, {{1, L"Foo"}}, 1, 0, false},
      {"contents changed", {{1, L"a"}}, {{1, L"a", 1}}, 0, 0, false},
      {"out of order", {{1, L"a"}, {1, L"b"}}, {{1, L"b"}, {1, L"a"}}, 0, 0, true},
      {"repeated identities pair up in order", {{1, L"a"}, {1, L"a"}}, {{1, L"a"}, {1, L"b"}, {1, L"a"}}, 0, 1, false},
      {"all gone", {{1, L"a"}, {2, L"b"}}, {}, 2, 0, false},
      {"from nothing", {}, {{1, L"a"}, {2, L"b"}}, 0, 2, false},
  };
  for (const MergeCase& c : cases) {
    const MergePlan plan = PlanMerge(Identities(c.current), Identities(c.fresh));
    EXPECT_EQ(plan.rebuild, c.rebuild) << c.what;
    EXPECT_EQ(ApplyMergePlan(plan, c.current, c.fresh), c.fresh) << c.what;
    if (c.rebuild) continue;
    size_t inserted = 0;
    for (const MergePlan::Step& step : plan.walk) inserted += step.insert;
    EXPECT_EQ(plan.removed.size(), c.removed) << c.what;
    EXPECT_EQ(inserted, c.inserted) << c.what;
    for (size_t at = 1; at < plan.removed.size(); ++at) EXPECT_GT(plan.removed[at - 1], plan.removed[at]) << c.what;
  }
}

}  // namespace
