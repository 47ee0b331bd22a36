#include "manager/StartupSwitches.h"

#include "common/Errors.h"
#include "common/Names.h"
#include "common/Registry.h"
#include "manager/LocationCatalogue.h"

namespace {

// Opens the key for a change; false when there is no key and so nothing
// to change.
bool OpenExistingSwitches(RegistryKey& key, const std::wstring& location) {
  if (OpenRegistryLocation(key, location, KeyAccess::Presence) == ERROR_FILE_NOT_FOUND) return false;
  key = OpenRegistryLocationOrThrow(location, KeyAccess::Write);
  return true;
}

void Check(LONG result, const std::wstring& name) {
  if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
    throw ERegistryException(FormatMessageText("Failed to set data for '%s'", name));
}

void WriteBytes(const RegistryKey& key, const std::wstring& name, DWORD type, const BYTE* data, DWORD size) {
  if (key.SetValue(name, type, data, size) != ERROR_SUCCESS)
    throw ERegistryException(FormatMessageText("Failed to set data for '%s'", name));
}

}  // namespace

StartupSwitches::StartupSwitches(const std::wstring& approvalLocation) {
  RegistryKey key;
  if (approvalLocation.empty() || OpenRegistryLocation(key, approvalLocation, KeyAccess::Read) != ERROR_SUCCESS) return;
  key.ForEachValue([&](const WideRegValueView& value) {
    states_.emplace(FoldedName(value.name), DecodeApproval(value.type == REG_BINARY, value.data, value.size));
  });
}

ApprovalState StartupSwitches::Of(const std::wstring& entryName) const {
  if (states_.empty()) return ApprovalState::Absent;
  const auto found = states_.find(FoldedName(entryName));
  return found == states_.end() ? ApprovalState::Absent : found->second;
}

void SwitchStartupEntry(const std::wstring& approvalLocation, const std::wstring& entryName, bool on) {
  const RegistryKey key = OpenRegistryLocationOrThrow(approvalLocation, KeyAccess::Create);
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const ApprovalBytes bytes =
      on ? ApprovalOnBytes()
         : ApprovalOffBytes((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
  WriteBytes(key, entryName, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
}

void RemoveStartupSwitch(const std::wstring& approvalLocation, const std::wstring& entryName) {
  RegistryKey key;
  if (approvalLocation.empty() || !OpenExistingSwitches(key, approvalLocation)) return;
  Check(key.DeleteValue(entryName), entryName);
}

void MoveStartupSwitch(const std::wstring& approvalLocation, const std::wstring& oldName, const std::wstring& newName) {
  RegistryKey key;
  if (approvalLocation.empty() || !OpenExistingSwitches(key, approvalLocation)) return;
  DWORD type = 0;
  std::vector<BYTE> data;
  const LONG read = key.QueryValue(oldName, type, data);
  if (read == ERROR_FILE_NOT_FOUND) {
    // The new name's own value, if any, is a deleted entry's: it goes.
    Check(key.DeleteValue(newName), newName);
    return;
  }
  if (read != ERROR_SUCCESS) throw ERegistryException(FormatMessageText("Failed to get data for '%s'", oldName));
  if (SameName(oldName, newName)) {
    key.RenameValueCase(oldName, newName);  // one value to the registry
    return;
  }
  WriteBytes(key, newName, type, data.data(), static_cast<DWORD>(data.size()));
  Check(key.DeleteValue(oldName), oldName);
}
