#pragma once
// Lists the entries of a location into row records: a Startup folder's
// program files and shortcuts, or a Run key's string values, each with
// what Windows will do at logon (its switch, whether its program is
// there). No window is involved.
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "manager/Entry.h"

using EntryRows = std::vector<std::unique_ptr<TAutoRunItem>>;

// What a listing found: the rows listed before an error stand beside it.
struct Listing {
  EntryRows rows;
  std::exception_ptr error;
  // Each node's stamp (StampOfLocation) as the listing saw it, in order;
  // short when the listing stopped at an error.
  std::vector<std::uint64_t> stamps;
};

// One location, or several in order (a root's children): a listing stops
// at the first error.
Listing ListLocation(const TAutoRunNode& node);
Listing ListLocations(const std::vector<const TAutoRunNode*>& nodes);
// One entry of a node, read as a listing reads it; null when it is not
// there (or not an entry: a value of another type, a file of another kind).
// What a node's entries were at one moment, in a few calls: a key's last
// write and value count, a folder's names, sizes and last writes, and the
// same of its switches' key. Two stamps differ when anything listed did
// (0 when the place is missing).
std::uint64_t StampOfLocation(const TAutoRunNode& node);
std::unique_ptr<TAutoRunItem> ReadEntry(const TAutoRunNode& node, const std::wstring& name);
// The same by the entry's identity (a RunOnceEx value is told by its
// subkey and its name, not by the row's name alone); null when it is not
// one of the node's.
std::unique_ptr<TAutoRunItem> ReadEntry(const TAutoRunNode& node, const EntryRef& entry);
