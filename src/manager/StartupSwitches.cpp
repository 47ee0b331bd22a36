#include "manager/StartupSwitches.h"

#include "common/Errors.h"
#include "common/Names.h"
#include "manager/LocationCatalogue.h"

StartupSwitches::StartupSwitches(const Location& switchLocation) {
  RegistryKey key;
  if (OpenLocation(key, switchLocation, KeyAccess::Read) != ERROR_SUCCESS) return;
  key.ForEachValue([&](const WideRegValueView& value) {
    states_.emplace(FoldedName(value.name), DecodeSwitch(value.type == REG_BINARY, value.data, value.size));
  });
}

SwitchState StartupSwitches::Of(const std::wstring& entryName) const {
  if (states_.empty()) return SwitchState::Absent;
  const auto found = states_.find(FoldedName(entryName));
  return found == states_.end() ? SwitchState::Absent : found->second;
}

SwitchBytes SwitchStartupEntry(const Location& switchLocation, const std::wstring& entryName, bool on) {
  const RegistryKey key = OpenLocationOrThrow(switchLocation, KeyAccess::Create);
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const SwitchBytes bytes =
      on ? SwitchOnBytes()
         : SwitchOffBytes((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
  const LONG result = key.SetValue(entryName, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
  if (result != ERROR_SUCCESS)
    throw ERegistryException(FormatMessageText("Failed to set data for '%s'", entryName), result);
  return bytes;
}

SwitchesOfEntries::SwitchesOfEntries(const Location& switchLocation, const std::vector<std::wstring>& names) {
  for (const std::wstring& name : names) stored_.emplace_back(name, StoredBytes());
  if (switchLocation.Empty()) return;
  RegistryKey reader;
  if (OpenLocation(reader, switchLocation, KeyAccess::Read) != ERROR_SUCCESS) return;
  bool any = false;
  for (auto& [name, value] : stored_) {
    DWORD type = REG_NONE;
    const LONG read = reader.QueryValue(name, type, value.data);
    if (read == ERROR_FILE_NOT_FOUND) continue;
    if (read != ERROR_SUCCESS)
      throw ERegistryException(FormatMessageText("Failed to get data for '%s'", name), read);
    value.present = true;
    value.type = type;
    any = true;
  }
  if (any) key_ = OpenLocationOrThrow(switchLocation, KeyAccess::Write);
}

const StoredBytes& SwitchesOfEntries::Of(const std::wstring& name) const {
  static const StoredBytes none;
  for (const auto& [stored, value] : stored_)
    if (stored == name) return value;
  return none;
}

LONG SwitchesOfEntries::Write(const std::wstring& name, const StoredBytes& value) const {
  return key_.SetValue(name, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
}

LONG SwitchesOfEntries::Remove(const std::wstring& name) const {
  const LONG result = key_.DeleteValue(name);
  return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}
