#pragma once
// Windows' startup switches of one location, kept in the registry key an
// approval location names (StartupApproval.h says what a value holds).
// Keys and values are reached in the native view by their exact names.
#include <string>
#include <unordered_map>

#include "manager/StartupApproval.h"

// Every switch of a location, read with one enumeration of its key; looked
// up by name as the registry compares names. Empty when the key is missing.
class StartupSwitches {
 public:
  explicit StartupSwitches(const std::wstring& approvalLocation);
  ApprovalState Of(const std::wstring& entryName) const;

 private:
  std::unordered_map<std::wstring, ApprovalState> states_;  // by folded name
};

// Switches an entry on or off, creating the key when it is missing.
// Throws "Failed to open key '%s'" (the approval location) when the key
// cannot be opened for writing, "Failed to set data for '%s'" when the
// value is refused.
void SwitchStartupEntry(const std::wstring& approvalLocation, const std::wstring& entryName, bool on);
// An entry's switch follows it: removed with it, moved with a rename. A
// missing key or value is nothing to do; a refused write throws as above.
void RemoveStartupSwitch(const std::wstring& approvalLocation, const std::wstring& entryName);
void MoveStartupSwitch(const std::wstring& approvalLocation, const std::wstring& oldName, const std::wstring& newName);
