#pragma once
// The records behind the tree's nodes and the list's rows, and an entry's
// identity. Names and texts are UTF-16, exactly as the registry and the
// file system hold them.
#include <cstdint>
#include <string>

#include "common/ProgramPresence.h"
#include "common/VersionInfo.h"
#include "manager/Location.h"
#include "manager/RecordIndex.h"
#include "manager/SwitchFormat.h"

enum class EntryKind : unsigned char {
  RegistryValue,  // a value of a key (of a subkey, in a place of one value per subkey)
  File,           // a file in a Startup folder
  Record,         // a removed or replaced entry, kept (TRecordRow)
  Task,           // a scheduled task, named by its path (\Folder\Name; TTaskRow)
  Gone,           // an entry of a saved list compared with that is not there now (TGoneRow)
};

// A tree node's record: the location it lists.
struct TAutoRunNode {
  ::Location Location;  // a root's lists nothing of its own
  // Where Windows keeps the switches of the entries listed here; empty
  // when it has none for them.
  ::Location SwitchLocation;
  bool AllowsAdd = false;  // a concrete location that takes new entries, never a root
  bool ListsRecords = false;  // the "REMOVED" node: Location is where records are kept
  // The policy value that makes Windows skip this key, and what sets it
  // now ("<value> is set in <key>"; empty while none does).
  const wchar_t* SkipPolicy = nullptr;
  std::wstring SkippedBy;
  // "Not loaded: <value> is 0" while the place's own switch value
  // (PlaceRules::loadedUnlessZero) keeps Windows from loading its entries.
  std::wstring NotLoaded;
};

// What a row needs from the disk beyond its listing (a shortcut's target,
// whether the program is there) is done when it is first shown or in idle
// time (RowWork.h); a program on a network path is looked up off the
// window's thread. Until then the row's program is Pending, or Remote
// while the network answers; then what the lookup found.
enum class RowPresence : unsigned char { Pending, Remote, Found, Missing, Unknown };

// A list row's record: little more than the entry's name and command;
// what its location has in common is its node's.
struct TAutoRunItem {
  virtual ~TAutoRunItem() = default;
  EntryKind Kind = EntryKind::RegistryValue;
  SwitchState Switch = SwitchState::Absent;             // as read
  RowPresence Presence = RowPresence::Pending;
  EntryMark Mark = EntryMark::None;
  std::wstring Command;  // what the entry starts; a shortcut row its file's path until the shortcut is read
  std::wstring Name;     // the value name or file name, at full length
  const TAutoRunNode* Node = nullptr;
  // What the program's version resource says, once the row is settled;
  // shared by the rows of one program (RowWork.h keeps it).
  const ProgramFacts* Facts = nullptr;

  // A task's switch is its own (Settings/Enabled); another entry's is
  // Windows' startup switch, where its place has one.
  bool HasSwitch() const {
    return Kind == EntryKind::Task || (Kind != EntryKind::Gone && !Node->SwitchLocation.Empty());
  }
  // A row of an entry that is there: not a record, not one gone since a saved list.
  bool Stored() const { return Kind != EntryKind::Record && Kind != EntryKind::Gone; }
  bool Skipped() const { return !Node->SkippedBy.empty(); }
  bool NotLoaded() const { return !Node->NotLoaded.empty(); }
  bool SwitchedOff() const { return HasSwitch() && Switch == SwitchState::Off; }
  bool Settled() const { return Presence != RowPresence::Pending && Presence != RowPresence::Remote; }
  bool Missing() const { return Presence == RowPresence::Missing; }
  // A file row's size and last write (TFileRow); 0 for other rows.
  std::uint64_t FileStamp() const;
  // A file row's full path.
  std::wstring FilePath() const;
  // What the Path column shows: a file row its file's path (its command
  // may be a shortcut's target), a registry row its command.
  std::wstring ShownPath() const { return Kind == EntryKind::File ? FilePath() : Command; }
};

// A row of a Startup folder: its size and last write tell a rewritten
// shortcut from the one read before. Only files carry it: a registry row
// stays as small as it was.
struct TFileRow : TAutoRunItem {
  std::uint64_t Stamp = 0;
};

// A row of a place of one value per subkey (Active Setup): its Name is the
// subkey's, its Title what the subkey calls itself.
struct TSubkeyRow : TAutoRunItem {
  std::wstring Title;
};

// A row of RunOnceEx: a value of a section subkey ("<section>"), of the
// key's Depend subkey ("Depend") or of a section's ("<section>\Depend").
// Its Name is "<subkey>\<value name>".
struct TSectionRow : TAutoRunItem {
  std::wstring Subkey, Value;
};

// A scheduled task's row: Command is its first action's command line,
// Switch its own switch.
struct TTaskRow : TAutoRunItem {
  std::wstring Triggers;     // its logon and startup triggers in words
  bool TriggersOff = false;  // every one of them disabled: it starts nothing at logon
  bool Hidden = false;       // its file is there, the Task Scheduler does not list it
  std::wstring Unreadable;   // why its definition could not be read; empty when it was
};

// An entry of the saved list compared with that is not there now: its
// Name and Command as the list had them; nothing on disk is behind it.
struct TGoneRow : TAutoRunItem {
  std::wstring State;  // as the list had it
};

// What the Name column shows of a row.
std::wstring ShownTitle(const TAutoRunItem& row);

// A row of the "REMOVED" node: the entry as it was, kept in a record.
// Its Command is what the Path column shows (the command, or the file's
// path as it was).
struct TRecordRow : TAutoRunItem {
  std::wstring Record;  // where the record is
  std::wstring Origin;  // the location the entry came from
  std::wstring Title;   // what its row showed, when not its name (an Active Setup component's)
  RecordKind Kept = RecordKind::Removed;
};

// One entry, wherever it is: taken from a row when a command starts, so
// that a dialog, a refresh or a message in between cannot change what the
// command acts on. The registry's two views are told apart by their key
// paths (the 32-bit programs' keys are named by their Wow6432Node path).
// An entry of a place of one value per subkey is that value of its subkey:
// the key and the name a command writes.
struct EntryRef {
  EntryKind kind = EntryKind::RegistryValue;
  ::Location location;        // the key or the folder; a record row's origin
  std::wstring name;          // exact, at full length (a NUL included)
  ::Location switchLocation;  // empty where Windows keeps no switch
  std::wstring record;        // a record row's record
  // What a person reads for the entry where it is not its name (an Active
  // Setup component's title): the messages and the clipboard say it. Not
  // part of its identity.
  std::wstring title;

  static EntryRef Of(const TAutoRunItem& row);
  // The entry as the messages name it: its title, else its name.
  const std::wstring& Said() const { return title.empty() ? name : title; }
  const PlaceRules& Rules() const { return *location.rules; }
  // The registry's and the file system's functions take names up to their
  // first NUL: a name holding one cannot be reached by them.
  bool Addressable() const { return name.find(L'\0') == std::wstring::npos; }
  std::wstring FilePath() const;
  bool HasSwitch() const { return kind == EntryKind::Task || !switchLocation.Empty(); }
  // The same entry: kind, location and the exact name, never a looser match.
  bool Is(const TAutoRunItem& row) const;
  // Whether the entry is one of `node`'s, and the name its row has there
  // (a value may have the empty name).
  bool In(const TAutoRunNode& node, std::wstring* rowName = nullptr) const;
  bool operator==(const EntryRef& other) const {
    return kind == other.kind && location == other.location && name == other.name && record == other.record;
  }
};

// A name as the list and the messages show it: a NUL as a visible mark.
std::wstring ShownName(const std::wstring& name);
