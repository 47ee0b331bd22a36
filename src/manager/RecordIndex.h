#pragma once
// What a record of a removed or overwritten entry holds, exactly: the
// entry's identity and the bytes it had, and the bytes of its switch. The
// record's index file holds this encoding; the registry editor's file
// beside it (RegFile.h) is for people and the system's registry editor.
// Plain values only, so that the encoding is tested and fuzzed natively.
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
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
// append that did not finish) ends them, and `whole` says so.
std::vector<RecordSummary> DecodeSummaries(const std::uint8_t* bytes, size_t size, bool* whole = nullptr);

// The encoding as a comment line of a registry editor's file, which the
// editor passes over: a record is one file, written and flushed once.
std::wstring RecordCommentLine(const EntryRecord& record);
// The record of such a file's text: its last comment line of this kind.
bool RecordFromText(const std::wstring& text, EntryRecord& record);

// What the manager showed when it last closed, per location (a registry
// location names its view), to tell at the next opening which entries
// came back: new since then, with another command, or switched back on.
struct LookedEntry {
  std::wstring name;     // exact
  std::wstring command;  // a registry value's; a file's is its stamp
  std::uint64_t stamp = 0;
  bool file = false;
  bool off = false;  // switched off
  bool operator==(const LookedEntry& other) const {
    return name == other.name && command == other.command && stamp == other.stamp && file == other.file &&
           off == other.off;
  }
};
using LastLook = std::map<std::wstring, std::vector<LookedEntry>>;

std::vector<std::uint8_t> EncodeLastLook(const LastLook& look);
// False (and nothing kept) for anything that is not a whole look.
bool DecodeLastLook(const std::uint8_t* bytes, size_t size, LastLook& look);

// How an entry differs from what the manager showed when it last closed.
enum class EntryMark : unsigned char { None, New, Changed, OnAgain };

// A look, indexed for one question per row.
class LastLookIndex {
 public:
  LastLookIndex() = default;
  explicit LastLookIndex(LastLook look);
  // Nothing for a location the last look did not show.
  EntryMark MarkOf(const std::wstring& location, const LookedEntry& now) const {
    return MarkOf(location, now.name, now.command, now.stamp, now.file, now.off);
  }
  // The same for a row as it is, without copying its texts.
  EntryMark MarkOf(const std::wstring& location, const std::wstring& name, const std::wstring& command,
                   std::uint64_t stamp, bool file, bool off) const;

 private:
  LastLook look_;
  std::unordered_map<std::wstring, std::unordered_map<std::wstring, const LookedEntry*>> byName_;
};
