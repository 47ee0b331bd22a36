#pragma once
// The list's rows and the records behind them, kept together: a row is
// only ever inserted, removed, updated or merged here, so that no row
// points at a record that is gone and no record outlives its row.
#include <memory>
#include <vector>

#include "manager/EntryListing.h"
#include "ui/ListView.h"

// Indices into the frame's image list.
enum ToolBarImage { imgAdd, imgChange, imgDelete, imgRefresh, imgInformation, imgFolder, imgProgram, imgMissing };

class RowStore {
 public:
  // The list asks for its texts here; rows are shown with the pictures of
  // ToolBarImage and a check box where Windows keeps a switch.
  explicit RowStore(ui::ListView& list);
  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;

  int Count() const { return list_.Count(); }
  // The record of a row, or null for none (-1, past the end).
  const TAutoRunItem* At(int row) const;
  // The row of an entry, by its whole identity; -1 when it is not listed.
  int Find(const EntryRef& entry) const;

  void Append(EntryRows& rows);
  void Remove(int row);
  void Clear();
  // Brings the rows in line with a fresh listing: unchanged rows stay as
  // they are (selection, focus, scroll position), changed ones show the
  // new record, new ones are inserted in listing order, gone ones removed.
  void Merge(EntryRows& fresh);

 private:
  void Insert(int row, std::unique_ptr<TAutoRunItem> record);
  void ShowState(int row, const TAutoRunItem& record);
  void Forget(const TAutoRunItem* record);

  ui::ListView& list_;
  std::vector<std::unique_ptr<TAutoRunItem>> records_;
};
