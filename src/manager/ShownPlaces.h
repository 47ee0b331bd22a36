#pragma once
// What the list shows and why, without a window: the tree's places (the
// nodes, owned here), the ones on show with the stamps they were listed
// at, the filter box's text and "Hide Windows' entries" with the rows they
// leave out, the marks against the last look and this opening's own
// entries, the policies that make Windows skip a place, and Windows' own
// texts of Winlogon. The frame asks it for listings, marks and counts, and
// paints what it answers.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "manager/ChangeWatch.h"
#include "manager/Entry.h"
#include "manager/EntryListing.h"
#include "manager/ListComparison.h"
#include "manager/RecordIndex.h"
#include "manager/RowWork.h"

class ShownPlaces {
 public:
  // `worker` does a row's disk work when the filter must know its facts.
  explicit ShownPlaces(RowWorker& worker) : worker_(worker) {}
  ShownPlaces(const ShownPlaces&) = delete;
  ShownPlaces& operator=(const ShownPlaces&) = delete;

  // The tree's places; the tree's items point at them. Forgetting them
  // forgets what was shown of them.
  const TAutoRunNode* Own(std::unique_ptr<TAutoRunNode> node);
  void ForgetNodes();
  const std::vector<std::unique_ptr<TAutoRunNode>>& Nodes() const { return nodes_; }
  // The places whose entries the list shows (a root's children), as they
  // were first listed; and none, when the list is emptied.
  void Show(std::vector<const TAutoRunNode*> nodes) { shown_ = std::move(nodes); }
  void ShowNone();

  // The rows of `nodes` as listed now, marked, those the filter and the
  // hide switch leave out set aside (LeftOut). What was listed is what the
  // stamps compare with: a node the listing did not reach has none, so its
  // next notification lists again.
  Listing List(const std::vector<const TAutoRunNode*>& nodes);
  // The stamps of `nodes` taken now; true when one differs from before.
  bool TakeStamps(const std::vector<const TAutoRunNode*>& nodes);
  // What a watch on `nodes` covers: their keys, folders and switches, and
  // the keys of the policies that make Windows skip places.
  static WatchedPlaces WatchOf(const std::vector<const TAutoRunNode*>& nodes);

  // The filter (folded as names compare) and the hide switch; true when
  // the text changed.
  bool SetFilter(const std::wstring& typed);
  void SetHideWindows(bool hide) { hideWindows_ = hide; }
  bool HidesWindows() const { return hideWindows_; }
  bool Filters() const { return hideWindows_ || !filter_.empty(); }
  // Whether a row passes the filter and the hide switch.
  bool Shows(TAutoRunItem& row);
  // The rows of the shown places left out, as listed.
  size_t LeftOutCount() const { return leftOut_.size(); }
  bool AnyLeftOutShows();
  // An entry read again after a command: its old row leaves the rows left
  // out, and `row` (null when the entry went) joins them when it is left
  // out now. True when the count changed.
  bool PutLeftOut(const EntryRef& entry, std::unique_ptr<TAutoRunItem>& row);

  // Whether a row of a place with Windows' defaults shows another text.
  bool NotWindowsDefault(const TAutoRunItem& row) const;
  // Reads which places a policy makes Windows skip now; true when that
  // changed. Each policy value is read once.
  bool ReadSkipping();

  // The look of the last closing, read at opening; what the shown places
  // list is taken into it (StartLook, then Look per row: the rows left out
  // are taken by StartLook), and it is kept at closing.
  void ReadLook();
  bool LookRead() const { return lookRead_; }
  void StartLook();
  void Look(const TAutoRunItem& row);
  void Look(TAutoRunItem&& row);
  void KeepLook() const;
  // An entry this opening's commands wrote: the user's own, never marked.
  void RememberOwn(const EntryRef& entry);

  // The saved list the rows are compared with: a listing then also gives
  // each place's entries gone since it, as rows of that place.
  ListComparison& Comparison() { return comparison_; }
  const ListComparison& Comparison() const { return comparison_; }
  // The marks of the rows shown and of those left out: `visit` gets a
  // counter to give each shown row.
  template <class VisitShown>
  ListComparison::Counts CountCompared(VisitShown visitShown) const {
    ListComparison::Counts counts;
    const auto tally = [&](const TAutoRunItem& row) { comparison_.Tally(row, counts); };
    visitShown(tally);
    for (const auto& row : leftOut_) tally(*row);
    return counts;
  }

 private:
  void Mark(EntryRows& rows) const;
  void Filter(EntryRows& rows);
  std::vector<LookedEntry>* LookFor(const TAutoRunItem& row);

  RowWorker& worker_;
  std::vector<std::unique_ptr<TAutoRunNode>> nodes_;
  std::vector<const TAutoRunNode*> shown_;
  std::unordered_map<const TAutoRunNode*, std::uint64_t> stamps_;
  std::wstring filter_;
  bool hideWindows_ = false;
  EntryRows leftOut_;
  // What the manager showed when it last closed, and what it will keep
  // when it closes: that, with the places shown in this opening.
  LastLookIndex lastLook_;
  LastLook look_;
  bool lookRead_ = false;
  std::unordered_map<const TAutoRunNode*, std::vector<LookedEntry>*> looking_;
  // The entries this opening's commands wrote (location and folded name).
  std::unordered_set<std::wstring> own_;
  ListComparison comparison_;
};
