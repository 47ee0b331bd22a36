#include "manager/RowStore.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "common/Names.h"

#include "manager/MergePlan.h"

namespace {

ui::ListView::Check CheckOf(const TAutoRunItem& item) {
  if (!item.HasSwitch()) return ui::ListView::Check::None;
  return item.SwitchedOff() ? ui::ListView::Check::Cleared : ui::ListView::Check::Checked;
}

// Compared as listed: a file row by its size and last write (its shortcut
// is read later), the others by their command.
bool SameContents(const TAutoRunItem& shown, const TAutoRunItem& listed) {
  if (shown.Switch != listed.Switch || shown.Kind != listed.Kind) return false;
  if (shown.Kind == EntryKind::Task) {
    const auto &was = static_cast<const TTaskRow&>(shown), &now = static_cast<const TTaskRow&>(listed);
    if (was.Triggers != now.Triggers || was.TriggersOff != now.TriggersOff || was.Hidden != now.Hidden ||
        was.Unreadable != now.Unreadable)
      return false;
  }
  return shown.Kind == EntryKind::File ? shown.FileStamp() == listed.FileStamp() : shown.Command == listed.Command;
}

// A RunOnceEx row by its subkey and value apart (a value name may hold a
// backslash; no subkey name holds a NUL).
RowIdentity IdentityOf(const TAutoRunItem& item) {
  if (item.Node->Location.kind == LocationKind::Sections && item.Kind != EntryKind::Gone) {
    const auto& section = static_cast<const TSectionRow&>(item);
    return RowIdentity{reinterpret_cast<std::uintptr_t>(item.Node), section.Subkey + L'\0' + section.Value};
  }
  return RowIdentity{reinterpret_cast<std::uintptr_t>(item.Node), item.Name};
}

// Up to this many rows inserted or removed, the list repaints each change
// itself: turning its redrawing off and on repaints all of it.
constexpr size_t kFewRowChanges = 8;

}  // namespace

RowStore::RowStore(ui::ListView& list, RowWorker& worker) : list_(list), worker_(worker) {
  // The rows' texts stay in their records only; the list asks for them
  // when it paints.
  list_.TextOf = [this](const void* data, int column) { return TextOf(*Owned(data), column); };
  list_.ImageOf = [this](const void* data) { return PictureOf(*Owned(data)); };
  list_.BoldOf = [](const void* data) { return static_cast<const TAutoRunItem*>(data)->Mark != EntryMark::None; };
}

std::wstring RowStore::TextOf(TAutoRunItem& record, int column) {
  switch (column) {
    case kNameColumn:
      return ShownTitle(record);
    case kPathColumn:
      return record.ShownPath();
    case kComparedColumn:
      return ComparedText ? ComparedText(record) : std::wstring();
    default:
      break;
  }
  worker_.Settle(record);
  if (!record.Facts) return std::wstring();
  return column == kPublisherColumn ? PublisherText(*record.Facts) : record.Facts->description;
}

bool RowStore::CollectSignatures() {
  if (!worker_.CollectSignatures()) return false;
  InvalidateRect(list_.Handle(), nullptr, FALSE);
  if (order_.column == kPublisherColumn) SortShownRows();
  return true;
}

// Plain until the row's work is done: never a wrong mark.
int RowStore::PictureOf(TAutoRunItem& record) {
  worker_.Settle(record);
  // A task whose logon and startup triggers are all off starts nothing;
  // an entry gone since the saved list starts nothing either.
  const bool faded = record.Kind == EntryKind::Task ? static_cast<const TTaskRow&>(record).TriggersOff
                                                    : record.Kind == EntryKind::Gone ||
                                                          (record.Stored() && (record.Skipped() || record.NotLoaded()));
  return record.Missing() ? imgMissing : faded ? imgSkipped : imgProgram;
}

const TAutoRunItem* RowStore::At(int row) const {
  return row >= 0 ? static_cast<const TAutoRunItem*>(list_.Data(row)) : nullptr;
}

int RowStore::Find(const EntryRef& entry) const {
  for (const auto& record : records_)
    if (entry.Is(*record)) return list_.IndexOf(record.get());
  return -1;
}

void RowStore::Insert(int row, std::unique_ptr<TAutoRunItem> record) {
  const int inserted = list_.Insert(row, record->Name, imgProgram, record.get(), CheckOf(*record));
  if (inserted < 0) return;  // not inserted: the record goes with `record`
  records_.push_back(std::move(record));
  rowsChanged_ = true;
}

void RowStore::Append(EntryRows& rows) {
  SortFresh(rows);
  for (auto& row : rows) Insert(Count(), std::move(row));
  rows.clear();
}

// What a row sorts by: its text in the sorted column, then its name. The
// publisher and description are known once a row's work is done: a sort
// by them does every row's work first.
struct RowStore::SortKey {
  std::wstring text, name;
};

RowStore::SortKey RowStore::SortKeyOf(TAutoRunItem& row) {
  SortKey key{TextOf(row, order_.column), std::wstring()};
  if (order_.column != kNameColumn) key.name = ShownTitle(row);
  return key;
}

// Equal rows keep their order: every sort here is stable.
template <class Row>
void RowStore::SortInOrder(std::vector<Row>& rows, TAutoRunItem& (*recordOf)(Row&)) {
  std::vector<std::pair<SortKey, size_t>> keys;
  keys.reserve(rows.size());
  for (size_t at = 0; at < rows.size(); ++at) keys.emplace_back(SortKeyOf(recordOf(rows[at])), at);
  std::stable_sort(keys.begin(), keys.end(), [this](const auto& a, const auto& b) {
    int order = CompareNaturally(a.first.text, b.first.text);
    if (order == 0) order = CompareNaturally(a.first.name, b.first.name);
    return order_.ascending ? order < 0 : order > 0;
  });
  std::vector<Row> sorted;
  sorted.reserve(rows.size());
  for (const auto& key : keys) sorted.push_back(std::move(rows[key.second]));
  rows = std::move(sorted);
}

void RowStore::SortFresh(EntryRows& fresh) {
  if (!order_.Sorted()) return;
  SortInOrder<std::unique_ptr<TAutoRunItem>>(fresh, [](std::unique_ptr<TAutoRunItem>& row) -> TAutoRunItem& { return *row; });
}

// The list's own sort need not be stable: it is given each row's place.
void RowStore::SortShownRows() {
  if (!order_.Sorted()) return;
  std::vector<TAutoRunItem*> rows;
  rows.reserve(static_cast<size_t>(Count()));
  for (int row = 0; row < Count(); ++row) rows.push_back(Owned(row));
  SortInOrder<TAutoRunItem*>(rows, [](TAutoRunItem*& row) -> TAutoRunItem& { return *row; });
  std::unordered_map<const void*, int> place;
  for (size_t at = 0; at < rows.size(); ++at) place[rows[at]] = static_cast<int>(at);
  list_.Sort([&place](const void* a, const void* b) { return place[a] - place[b]; });
}

void RowStore::SortBy(RowOrder order) {
  order_ = order;
  SortShownRows();
  list_.SetSortMark(order_.column, !order_.Sorted() ? ui::ListView::SortMark::None
                                   : order_.ascending ? ui::ListView::SortMark::Up
                                                      : ui::ListView::SortMark::Down);
}

void RowStore::Forget(const TAutoRunItem* record) {
  const auto owned = std::find_if(records_.begin(), records_.end(),
                                  [record](const std::unique_ptr<TAutoRunItem>& item) { return item.get() == record; });
  if (owned != records_.end()) records_.erase(owned);
  rowsChanged_ = true;
}

void RowStore::Remove(int row) {
  const TAutoRunItem* record = At(row);
  list_.Delete(row);
  Forget(record);
}

// The rows go first and their records after: no notification raised while
// the rows are removed can meet a disposed record.
EntryRows RowStore::Clear() {
  list_.DeleteAll();
  EntryRows records = std::move(records_);
  records_.clear();
  workCursor_ = 0;
  rowsChanged_ = false;
  return records;
}

void RowStore::ShowState(int row, const TAutoRunItem& record) {
  list_.RedrawRow(row);
  if (list_.CheckOf(row) != CheckOf(record)) list_.SetCheck(row, CheckOf(record));
}

void RowStore::Merge(EntryRows& fresh) {
  SortFresh(fresh);
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
      ShowState(row, *record);
      records_.push_back(std::move(record));
      rowsChanged_ = true;
    }
    ++row;
  }
  records_.erase(std::remove_if(records_.begin(), records_.end(),
                                [&](const std::unique_ptr<TAutoRunItem>& item) { return dropped.count(item.get()); }),
                 records_.end());
  rowsChanged_ = true;
  fresh.clear();
}

int RowStore::Put(const EntryRef& entry, std::unique_ptr<TAutoRunItem> record,
                  const std::vector<const TAutoRunNode*>& nodeOrder, const EntryRef* formerly) {
  int row = Find(entry);
  if (!record) {
    if (row >= 0) Remove(row);
    return -1;
  }
  if (formerly) {
    const int former = Find(*formerly);
    if (row < 0) {
      row = former;
    } else if (former >= 0) {
      Remove(former);
      row = Find(entry);
    }
  }
  if (row >= 0) {
    const TAutoRunItem* old = At(row);
    list_.SetData(row, record.get());
    ShowState(row, *record);
    records_.push_back(std::move(record));
    Forget(old);
    return InOrder(row);
  }
  // After the last row of a node that comes no later than the entry's.
  const auto rank = [&](const TAutoRunNode* node) {
    return std::find(nodeOrder.begin(), nodeOrder.end(), node) - nodeOrder.begin();
  };
  const auto own = rank(record->Node);
  row = Count();
  while (row > 0 && rank(At(row - 1)->Node) > own) --row;
  Insert(row, std::move(record));
  return InOrder(row);
}

int RowStore::InOrder(int row) {
  if (!order_.Sorted() || row < 0) return row;
  const void* record = list_.Data(row);
  SortShownRows();
  return list_.IndexOf(record);
}

void RowStore::Settle(int row) {
  if (TAutoRunItem* record = Owned(row)) worker_.Settle(*record);
}

void RowStore::SettleAgain() {
  for (const auto& record : records_)
    if (record->Stored() && record->Settled()) record->Presence = RowPresence::Pending;
  workCursor_ = 0;
  InvalidateRect(list_.Handle(), nullptr, FALSE);
}

bool RowStore::SettleSome(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    if (workCursor_ >= records_.size()) {
      if (!rowsChanged_) return true;
      rowsChanged_ = false;
      workCursor_ = 0;
      continue;
    }
    TAutoRunItem& record = *records_[workCursor_++];
    if (record.Presence != RowPresence::Pending) continue;
    worker_.Settle(record);
    if (std::chrono::steady_clock::now() >= deadline) return false;
  }
}

bool RowStore::CollectAnswers(int watched) {
  const TAutoRunItem* watchedRecord = At(watched);
  bool answered = false, sortedTextsCame = false;
  for (const auto& record : records_) {
    if (!worker_.Collect(*record)) continue;
    list_.RedrawRow(list_.IndexOf(record.get()));
    answered = answered || record.get() == watchedRecord;
    sortedTextsCame = sortedTextsCame || order_.column >= kPublisherColumn;
  }
  if (sortedTextsCame) SortShownRows();
  return answered;
}
