#pragma once
// Where what a command removes or overwrites is kept before it acts: under
// the user's local application data, in Velmora\Removed\, named by the
// time it was kept (never by the entry's name, which may hold "..\", ":"
// or a NUL). A registry record is one registry editor's file
// ("<time>.reg"), which the system's editor imports by itself; its last
// line, a comment, holds the exact record (RecordIndex.h). A Startup
// file's record is a folder ("<time>\") with that file ("entry.reg", for
// its switch) and the file itself under its own name in "file\". A new
// record's name is later than every other's, so the names keep the order
// the records were kept in. At most kMostRecords removed or replaced
// entries are kept (KeepRecordsWithinLimit).
#include <string>
#include <vector>

#include "manager/RecordIndex.h"
#include "manager/WindowLayout.h"

constexpr size_t kMostRecords = 1000;

// %LOCALAPPDATA%\Velmora\Removed
std::wstring RecordFolder();

// Writes and flushes a record; returns where it is (the file, or a file
// record's folder). Throws "Failed to keep a copy of '%s'" (the entry's
// name) when it cannot, and leaves nothing.
std::wstring KeepRecord(const EntryRecord& record);
// Where a file record keeps the file itself.
std::wstring KeptFilePath(const std::wstring& record, const std::wstring& fileName);
// Every record kept, oldest first: where each is.
std::vector<std::wstring> KeptRecords();
// What the list shows of every record, oldest first, from the store's
// index (a record the index does not know yet is read and added to it);
// `record` is where each is.
std::vector<RecordSummary> RecordSummaries();
// The records are counted again before the next is kept (once an
// opening: another process may have kept some meanwhile).
void RecountRecords();
// Lets the oldest records beyond kMostRecords go for good, once a command
// has acted: a command that is refused costs no record.
void KeepRecordsWithinLimit();
// Reads a record back from where KeepRecord put it.
bool ReadRecord(const std::wstring& record, EntryRecord& read);
// Removes a record whole: the command it was kept for did not act.
bool DiscardRecord(const std::wstring& record);

// What the manager showed when it last closed, kept beside the records
// (%LOCALAPPDATA%\Velmora\LastLook.bin); empty when there is none or it
// cannot be read.
LastLook ReadLastLook();
std::wstring LastLookPath();
// Replaces it; false when it could not be written.
bool KeepLastLook(const LastLook& look);

// The manager window's layout at its last closing, beside the records
// (%LOCALAPPDATA%\Velmora\Layout.txt); false when there is none or it
// cannot be read.
bool ReadLayout(WindowLayout& layout);
bool KeepLayout(const WindowLayout& layout);
std::wstring LayoutPath();
