#pragma once
// What a record of a removed or overwritten entry holds, exactly: the
// entry's identity and the bytes it had, and the bytes of its switch. The
// record's index file holds this encoding; the registry editor's file
// beside it (RegFile.h) is for people and the system's registry editor.
// Plain values only, so that the encoding is tested and fuzzed natively.
#include <cstdint>
#include <string>
#include <vector>

enum class RecordKind : std::uint8_t {
  Removed,   // Delete: the entry as it was
  Replaced,  // Change: the entry before the change
  Switched,  // the switch: its bytes before
  Added,     // Add: a stale switch under the new name
};

struct StoredBytes {
  bool present = false;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  bool operator==(const StoredBytes& other) const {
    return present == other.present && type == other.type && data == other.data;
  }
};

struct EntryRecord {
  RecordKind kind = RecordKind::Removed;
  bool isFile = false;     // a Startup file (kept in the record's folder) or a registry value
  std::uint64_t time = 0;  // when it was kept (a FILETIME)
  std::wstring location;   // the registry location or the folder
  std::wstring name;       // exact, at full length
  std::wstring switchLocation;
  StoredBytes value;        // a registry value's type and data
  StoredBytes switchValue;  // the switch's value, when there was one
  bool operator==(const EntryRecord& other) const;
};

std::vector<std::uint8_t> EncodeRecord(const EntryRecord& record);
// False for anything that is not a whole record of this encoding.
bool DecodeRecord(const std::uint8_t* bytes, size_t size, EntryRecord& record);

// What the "REMOVED" list shows of a record, kept in one index beside the
// records so that listing them reads one file.
struct RecordSummary {
  std::wstring record;  // the record's own name in the store
  RecordKind kind = RecordKind::Removed;
  bool isFile = false;
  std::wstring name, origin, shown;  // the entry's name, where it came from, its Path column
  bool operator==(const RecordSummary& other) const {
    return record == other.record && kind == other.kind && isFile == other.isFile && name == other.name &&
           origin == other.origin && shown == other.shown;
  }
};
std::vector<std::uint8_t> EncodeSummary(const RecordSummary& summary);
// The summaries of an index, in order; a damaged or cut-off tail (an
// append that did not finish) ends them.
std::vector<RecordSummary> DecodeSummaries(const std::uint8_t* bytes, size_t size);

// The encoding as a comment line of a registry editor's file, which the
// editor passes over: a record is one file, written and flushed once.
std::wstring RecordCommentLine(const EntryRecord& record);
// The record of such a file's text: its last comment line of this kind.
bool RecordFromText(const std::wstring& text, EntryRecord& record);
