#pragma once
// The list against a list the user saved ("Compare with saved list..."):
// the saved entries by their identity (the place's stored form and the
// name as the registry and the file system compare it), each row's mark,
// the saved entries of the places shown that are not there now as rows of
// their place, and the counts. No window: the frame asks and paints.
#include <string>
#include <unordered_map>
#include <vector>

#include "manager/Entry.h"
#include "manager/EntryListing.h"
#include "manager/SavedList.h"

class ListComparison {
 public:
  bool Active() const { return !path_.empty(); }
  // The list's file name, as the marks say it.
  const std::wstring& FileName() const { return fileName_; }
  // Reads the list at `path` to compare with from now on; `places` are
  // the stored forms of the places the manager lists. Returns what was
  // left out, a message a line; throws "Failed to read the list '%s'"
  // when the file cannot be read at all (the comparison before stays).
  std::vector<std::wstring> Start(const std::wstring& path, const std::vector<std::wstring>& places);
  void Stop();

  ComparedMark MarkOf(const TAutoRunItem& row) const;
  // What the list's column says of a row: "New since <file>", "Command
  // changed", ..., "Gone since <file>"; empty when equal or not comparing.
  std::wstring TextOf(const TAutoRunItem& row) const;
  // Each of `nodes`' rows followed by its saved entries that no row is.
  void AddGone(const std::vector<const TAutoRunNode*>& nodes, EntryRows& rows) const;
  struct Counts {
    size_t fresh = 0, changed = 0, gone = 0;
  };
  void Tally(const TAutoRunItem& row, Counts& counts) const;

 private:
  static std::wstring KeyOf(const std::wstring& location, const std::wstring& name);

  std::wstring path_, fileName_;
  std::vector<SavedEntry> entries_;
  struct Saved {
    const SavedEntry* entry;
    NeutralEntry neutral;
  };
  std::unordered_map<std::wstring, Saved> byIdentity_;
  const Saved* SavedOf(const TAutoRunItem& row) const;
  std::unordered_map<std::wstring, std::vector<const SavedEntry*>> byPlace_;  // in the list's order
  // This machine's profile and program folders, as the variables name them.
  std::vector<FolderName> folders_;
};
