#pragma once
// The editing commands, over an entry's identity taken when the command
// started. Each checks what it needs before it changes anything; a step
// that fails after others puts theirs back, and the error says what could
// not be put back, if anything. Errors are EVelmoraError (ERegistryException,
// EOleError) with the exact name and the Win32 code.
#include <string>

#include "manager/Entry.h"

// Throws, naming the entry, when its name holds a NUL: the registry's
// functions would reach another entry (the name up to the NUL) instead.
void RequireAddressable(const EntryRef& entry);
// Adds a value (REG_SZ) to a node's key, or a shortcut made from the
// command line `path` (`name` when `path` is empty) to its Startup folder;
// a stale switch under the new entry's name goes. Returns the new entry.
EntryRef AddEntry(const TAutoRunNode& node, const std::wstring& name, const std::wstring& path);
// Renames a registry entry and sets its command (an expandable string
// stays one); its switch moves with it. Returns the entry as it is now.
EntryRef ChangeEntry(const EntryRef& entry, const std::wstring& newName, const std::wstring& newPath);
// Deletes a registry value or a Startup file, and its switch.
void DeleteEntry(const EntryRef& entry);
// Switches an entry on or off in Windows' startup settings.
void SwitchEntry(const EntryRef& entry, bool on);
