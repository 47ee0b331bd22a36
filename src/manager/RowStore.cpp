#include "manager/RowStore.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "manager/MergePlan.h"

namespace {

int PictureOf(const TAutoRunItem& item) { return item.Missing() ? imgMissing : imgProgram; }

ui::ListView::Check CheckOf(const TAutoRunItem& item) {
  if (!item.HasSwitch()) return ui::ListView::Check::None;
  return item.SwitchedOff() ? ui::ListView::Check::Cleared : ui::ListView::Check::Checked;
}

bool SameContents(const TAutoRunItem& a, const TAutoRunItem& b) {
  return a.Command == b.Command && a.Switch == b.Switch && a.Presence == b.Presence;
}

RowIdentity IdentityOf(const TAutoRunItem& item) {
  return RowIdentity{reinterpret_cast<std::uintptr_t>(item.Node), item.Name};
}

// Up to this many rows inserted or removed, the list repaints each change
// itself: turning its redrawing off and on repaints all of it.
constexpr size_t kFewRowChanges = 8;

}  // namespace

RowStore::RowStore(ui::ListView& list) : list_(list) {
  // The rows' texts stay in their records only; the list asks for them
  // when it paints.
  list_.TextOf = [](const void* data, int column) {
    const auto* item = static_cast<const TAutoRunItem*>(data);
    return column == 0 ? ShownName(item->Name) : item->ShownPath();
  };
}

const TAutoRunItem* RowStore::At(int row) const {
  return row >= 0 ? static_cast<const TAutoRunItem*>(list_.Data(row)) : nullptr;
}

int RowStore::Find(const EntryRef& entry) const {
  for (int row = 0; row < Count(); ++row)
    if (const TAutoRunItem* item = At(row); item && entry.Is(*item)) return row;
  return -1;
}

void RowStore::Insert(int row, std::unique_ptr<TAutoRunItem> record) {
  const int inserted = list_.Insert(row, record->Name, PictureOf(*record), record.get(), CheckOf(*record));
  if (inserted < 0) return;  // not inserted: the record goes with `record`
  records_.push_back(std::move(record));
}

void RowStore::Append(EntryRows& rows) {
  for (auto& row : rows) Insert(Count(), std::move(row));
  rows.clear();
}

void RowStore::Forget(const TAutoRunItem* record) {
  const auto owned = std::find_if(records_.begin(), records_.end(),
                                  [record](const std::unique_ptr<TAutoRunItem>& item) { return item.get() == record; });
  if (owned != records_.end()) records_.erase(owned);
}

void RowStore::Remove(int row) {
  const TAutoRunItem* record = At(row);
  list_.Delete(row);
  Forget(record);
}

// The rows go first and their records after: no notification raised while
// the rows are removed can meet a disposed record.
void RowStore::Clear() {
  list_.DeleteAll();
  records_.clear();
}

void RowStore::ShowState(int row, const TAutoRunItem& record) {
  list_.SetImage(row, PictureOf(record));
  if (list_.CheckOf(row) != CheckOf(record)) list_.SetCheck(row, CheckOf(record));
}

void RowStore::Merge(EntryRows& fresh) {
  std::vector<RowIdentity> current, listed;
  current.reserve(static_cast<size_t>(Count()));
  for (int row = 0; row < Count(); ++row) current.push_back(IdentityOf(*At(row)));
  listed.reserve(fresh.size());
  for (const auto& item : fresh) listed.push_back(IdentityOf(*item));
  const MergePlan plan = PlanMerge(current, listed);

  // A few rows come and go one by one: the list repaints just them. More
  // are changed with the list's redrawing off, and it repaints once.
  const size_t inserted = static_cast<size_t>(
      std::count_if(plan.walk.begin(), plan.walk.end(), [](const MergePlan::Step& step) { return step.insert; }));
  std::optional<ui::ListUpdateBracket> bracket;
  if (plan.rebuild || plan.removed.size() + inserted > kFewRowChanges) bracket.emplace(list_);
  if (plan.rebuild) {
    Clear();
    Append(fresh);
    return;
  }
  // Removing rows at the end of a list scrolled down scrolls it up at
  // once; the rows shown stay where they were.
  struct KeepTop {
    ui::ListView& list;
    int top;
    ~KeepTop() { list.ScrollToTop(top); }
  } keepTop{list_, list_.TopIndex()};
  std::unordered_set<const TAutoRunItem*> dropped;
  for (const size_t row : plan.removed) {
    dropped.insert(At(static_cast<int>(row)));
    list_.Delete(static_cast<int>(row));
  }
  int row = 0;
  for (const MergePlan::Step& step : plan.walk) {
    auto& record = fresh[step.fresh];
    if (step.insert) {
      Insert(row, std::move(record));
    } else if (!SameContents(*At(row), *record)) {
      dropped.insert(At(row));
      list_.SetData(row, record.get());
      list_.RedrawRow(row);
      ShowState(row, *record);
      records_.push_back(std::move(record));
    }
    ++row;
  }
  records_.erase(std::remove_if(records_.begin(), records_.end(),
                                [&](const std::unique_ptr<TAutoRunItem>& item) { return dropped.count(item.get()); }),
                 records_.end());
  fresh.clear();
}
