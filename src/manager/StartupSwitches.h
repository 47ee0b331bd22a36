#pragma once
// Windows' startup switches of one location, kept in the registry key a
// switch location names (SwitchFormat.h says what a value holds). Keys
// and values are reached in the native view by their exact names.
#include <windows.h>

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/Registry.h"
#include "manager/Location.h"
#include "manager/RecordIndex.h"
#include "manager/SwitchFormat.h"

// Every switch of a location, read with one enumeration of its key; looked
// up by name as the registry compares names. Empty when the key is missing.
class StartupSwitches {
 public:
  explicit StartupSwitches(const Location& switchLocation);
  SwitchState Of(const std::wstring& entryName) const;

 private:
  std::unordered_map<std::wstring, SwitchState> states_;  // by folded name
};

// Switches an entry on or off, creating the key when it is missing.
// Throws "Failed to open key '%s'" (the switch location) when the key
// cannot be opened for writing, "Failed to set data for '%s'" when the
// value is refused. Returns the bytes written.
SwitchBytes SwitchStartupEntry(const Location& switchLocation, const std::wstring& entryName, bool on);

// The switches of a few entries, read before a command changes anything:
// the key is opened for writing only when one of them has a switch, and
// when it cannot be, the constructor throws "Failed to open key '%s'"
// while nothing has changed yet. A command then moves or removes them.
class SwitchesOfEntries {
 public:
  SwitchesOfEntries(const Location& switchLocation, const std::vector<std::wstring>& names);
  // The switch stored under `name` (one of the names given), if any.
  const StoredBytes& Of(const std::wstring& name) const;
  // Win32 results.
  LONG Write(const std::wstring& name, const StoredBytes& value) const;
  LONG Remove(const std::wstring& name) const;

 private:
  RegistryKey key_;
  std::vector<std::pair<std::wstring, StoredBytes>> stored_;
};
