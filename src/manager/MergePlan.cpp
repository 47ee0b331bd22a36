#include "manager/MergePlan.h"

#include <deque>
#include <functional>
#include <unordered_map>

namespace {

struct IdentityHash {
  size_t operator()(const RowIdentity& identity) const {
    return std::hash<std::wstring_view>()(identity.name) ^ (std::hash<std::uintptr_t>()(identity.node) << 1);
  }
};

}  // namespace

MergePlan PlanMerge(const std::vector<RowIdentity>& current, const std::vector<RowIdentity>& fresh) {
  // Where each identity is in the fresh listing. A listing does not repeat
  // an identity, but the plan must not trust it: repeats pair up in order.
  std::unordered_map<RowIdentity, std::deque<size_t>, IdentityHash> freshAt;
  freshAt.reserve(fresh.size());
  for (size_t at = 0; at < fresh.size(); ++at) freshAt[fresh[at]].push_back(at);

  MergePlan plan;
  std::vector<size_t> staysAs;  // the fresh index of every row that stays, top down
  staysAs.reserve(current.size());
  std::vector<bool> claimed(fresh.size(), false);
  std::vector<size_t> removedTopDown;
  for (size_t row = 0; row < current.size(); ++row) {
    const auto found = freshAt.find(current[row]);
    if (found == freshAt.end() || found->second.empty()) {
      removedTopDown.push_back(row);
      continue;
    }
    staysAs.push_back(found->second.front());
    claimed[found->second.front()] = true;
    found->second.pop_front();
  }
  plan.removed.assign(removedTopDown.rbegin(), removedTopDown.rend());
  for (size_t at = 1; at < staysAs.size(); ++at)
    if (staysAs[at] <= staysAs[at - 1]) {
      plan.rebuild = true;
      plan.removed.clear();
      return plan;
    }
  plan.walk.reserve(fresh.size());
  for (size_t at = 0; at < fresh.size(); ++at) plan.walk.push_back(MergePlan::Step{!claimed[at], at});
  return plan;
}
