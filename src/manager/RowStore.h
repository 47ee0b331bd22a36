#pragma once
// The list's rows and the records behind them, kept together: a row is
// only ever inserted, removed, updated or merged here, so that no row
// points at a record that is gone and no record outlives its row.
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <chrono>

#include "manager/EntryListing.h"
#include "manager/Pictures.h"
#include "manager/Publisher.h"
#include "manager/RowWork.h"
#include "ui/ListView.h"

// The list's columns, in the order they are shown.
// The last is there while the list is compared with a saved list.
enum ListColumn { kNameColumn, kPathColumn, kPublisherColumn, kDescriptionColumn, kComparedColumn };
constexpr int kLaidOutColumns = kComparedColumn;  // the columns a layout keeps

// The order the user chose by a header click; none keeps the listing's
// own order (the registry's and the folder's).
struct RowOrder {
  int column = -1;  // a ListColumn, or -1
  bool ascending = true;
  bool Sorted() const { return column >= 0; }
};

class RowStore {
 public:
  // The list asks for its texts and pictures here; rows are shown with the
  // pictures of ToolBarImage and a check box where Windows keeps a switch.
  // A row's picture is plain until `worker` has done the row's work: it
  // does it when the list first paints the row.
  RowStore(ui::ListView& list, RowWorker& worker);
  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;

  // What the compared column says of a row.
  std::function<std::wstring(const TAutoRunItem&)> ComparedText;

  int Count() const { return list_.Count(); }
  // The record of a row, or null for none (-1, past the end).
  const TAutoRunItem* At(int row) const;
  // The row of an entry, by its whole identity; -1 when it is not listed.
  int Find(const EntryRef& entry) const;

  void Append(EntryRows& rows);
  void Remove(int row);
  // Returns the rows' records, no longer listed.
  EntryRows Clear();
  // Brings the rows in line with a fresh listing: unchanged rows stay as
  // they are (selection, focus, scroll position), changed ones show the
  // new record, new ones are inserted in listing order, gone ones removed.
  void Merge(EntryRows& fresh);
  // One entry as read after a command: its row shows `record` (inserted
  // after the last row of its node when it was not listed), or goes when
  // `record` is null. Returns the row, or -1.
  // `nodeOrder` is the order of the nodes listed. An entry renamed from
  // `formerly` takes that entry's row.
  int Put(const EntryRef& entry, std::unique_ptr<TAutoRunItem> record,
          const std::vector<const TAutoRunNode*>& nodeOrder, const EntryRef* formerly = nullptr);

  // Sorts the rows, and keeps every row listed, merged or put from then
  // on in that order; their selection and focus go with them.
  void SortBy(RowOrder order);
  const RowOrder& Order() const { return order_; }

  // Every row's record, in no particular order.
  template <class Visit>
  void ForEach(Visit visit) const {
    for (const auto& record : records_) visit(std::as_const(*record));
  }
  template <class Visit>
  void ForEach(Visit visit) {
    for (const auto& record : records_) visit(*record);
  }

  // Every row's work is done again (as its painting and idle time reach
  // it): a program replaced since is read and hashed as it is now. A row
  // whose network answer is awaited keeps waiting for it.
  void SettleAgain();
  // A row's work done now (the selected row, before the status bar shows it).
  void Settle(int row);
  // Works on the rows still pending until `deadline`; true when none is
  // left. Rows whose network answer came show it.
  bool SettleSome(std::chrono::steady_clock::time_point deadline);
  // Shows the network answers that came; true when the row `watched` got one.
  bool CollectAnswers(int watched);
  // Takes the signatures verified since: the rows repaint (and sort again
  // when sorted by publisher); true when any came.
  bool CollectSignatures();

 private:
  void Insert(int row, std::unique_ptr<TAutoRunItem> record);
  void ShowState(int row, const TAutoRunItem& record);
  void Forget(const TAutoRunItem* record);

  struct SortKey;
  SortKey SortKeyOf(TAutoRunItem& row);
  template <class Row>
  void SortInOrder(std::vector<Row>& rows, TAutoRunItem& (*recordOf)(Row&));
  void SortShownRows();
  void SortFresh(EntryRows& fresh);
  // Where `row` went when the rows are sorted.
  int InOrder(int row);
  int PictureOf(TAutoRunItem& record);
  std::wstring TextOf(TAutoRunItem& record, int column);
  TAutoRunItem* Owned(int row) const { return const_cast<TAutoRunItem*>(At(row)); }
  // The records are the store's own: the list hands them back as it got them.
  static TAutoRunItem* Owned(const void* data) { return const_cast<TAutoRunItem*>(static_cast<const TAutoRunItem*>(data)); }

  ui::ListView& list_;
  RowWorker& worker_;
  std::vector<std::unique_ptr<TAutoRunItem>> records_;
  // Where idle work goes on in records_; rows came or went since it began.
  size_t workCursor_ = 0;
  bool rowsChanged_ = false;
  RowOrder order_;
};
