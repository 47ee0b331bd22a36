#pragma once
// The editing commands, over an entry's identity taken when the command
// started. Each checks what it needs before it changes anything; a step
// that fails after others puts theirs back, and the error says what could
// not be put back, if anything. Errors are EVelmoraError (ERegistryException,
// EOleError) with the exact name and the Win32 code.
#include <string>
#include <vector>

#include "manager/Entry.h"
#include "manager/RecordIndex.h"

// How to take a command back: what it left (so that undo can see that
// nothing changed since) and the records it kept. Undo never overwrites.
struct UndoStep {
  enum class Kind : unsigned char { Delete, Change, Switch, Add };
  Kind kind = Kind::Delete;
  EntryRef entry;     // the entry as the command left it
  StoredBytes left;   // what it wrote: the value (Change, Add), the switch (Switch), a shortcut file's bytes (Add)
  StoredBytes leftSwitch;  // the entry's switch as the command left it (none after Delete and Add)
  std::vector<std::wstring> records;  // the records it kept, the entry's first
};

// Throws, naming the entry, when its name holds a NUL: the registry's
// functions would reach another entry (the name up to the NUL) instead.
void RequireAddressable(const EntryRef& entry);
// Throws, naming the entry, when a registry editor's file cannot hold its
// name (a line break in it), before anything is written.
void RequireExportable(const EntryRef& entry);
// Each command refuses, naming the entry and changing nothing, what the
// entry's place does not take (PlaceRules): "'%s' cannot be deleted in
// this place", a name outside a place's chosen names.
// Adds a value (REG_SZ) to a node's key, or a shortcut made from the
// command line `path` (`name` when `path` is empty) to its Startup folder;
// a stale switch under the new entry's name goes. Returns the new entry.
EntryRef AddEntry(const TAutoRunNode& node, const std::wstring& name, const std::wstring& path, UndoStep* undo = nullptr);
// Renames a registry entry and sets its command (an expandable string
// stays one); its switch moves with it. Returns the entry as it is now.
// "Value '%s' does not exist" when the entry has gone since it was taken.
EntryRef ChangeEntry(const EntryRef& entry, const std::wstring& newName, const std::wstring& newPath,
                     UndoStep* undo = nullptr);
// Renames a registry entry, its value's type and bytes exactly as they
// are stored at this moment, its switch with it.
EntryRef RenameEntry(const EntryRef& entry, const std::wstring& newName, UndoStep* undo = nullptr);
// Writes Windows' own text (REG_SZ) over a value of a place that has one
// (Winlogon's Shell and Userinit), keeping what it replaces like Change.
EntryRef PutWindowsDefault(const EntryRef& entry, UndoStep* undo = nullptr);
// Deletes a registry value or a Startup file, and its switch.
void DeleteEntry(const EntryRef& entry, UndoStep* undo = nullptr);
// Leaves an entry on or off in Windows' startup settings: false, with no
// record and no undo step, when it is so already.
bool SwitchEntry(const EntryRef& entry, bool on, UndoStep* undo = nullptr);

// Takes a command back; returns the entry as it is again. Refuses, naming
// the entry, when it has changed since ("'%s' has changed since") or a
// namesake stands where it would go ("Value '%s' already exists"); the
// records it used go once it is undone.
EntryRef UndoCommand(const UndoStep& step);
// Puts a removed entry back exactly where it came from (root, view, key,
// name, type, bytes and switch; a file with its bytes), and the record
// goes. Refuses when an entry of that name is there.
EntryRef RestoreRecord(const std::wstring& record);
// Saves entries (registry values with their switches; a Startup file's
// switch) as a registry editor's file at `path`, written and flushed.
// Throws "Failed to export to '%s'", and writes nothing for a name the
// editor's format cannot carry (a line break in it).
void ExportEntries(const std::vector<EntryRef>& entries, const std::wstring& path);
// A value as a saved list had it (the list keeps no type): its command as
// a string, expandable when it names a variable, in a registry editor's
// file at `path`; throws "Failed to export to '%s'".
void ExportSavedValue(const Location& key, const std::wstring& name, const std::wstring& command,
                      const std::wstring& path);
