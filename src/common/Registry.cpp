#include "common/Registry.h"

#include <algorithm>
#include <cstring>

namespace {

// STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS
constexpr REGSAM kPresenceAccess = 0x20009;
// Every open names the native view. A 32-bit library on 64-bit Windows
// would otherwise see HKEY_LOCAL_MACHINE\Software\Wow6432Node under the
// name of the native key; 32-bit Windows ignores the flag.
constexpr REGSAM kView = KEY_WOW64_64KEY;
// A value that keeps growing between size query and read is given up on
// after this many attempts rather than looping forever.
constexpr int kReadAttempts = 16;

const char* kGetDataFailed = "Failed to get data for '%s'";
const char* kSetDataFailed = "Failed to set data for '%s'";
const char* kInvalidType = "Invalid data type for '%s'";

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

}  // namespace

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    key_ = other.Release();
  }
  return *this;
}

HKEY RegKey::Release() {
  HKEY key = key_;
  key_ = nullptr;
  return key;
}

void RegKey::Close() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

std::string StringFromRegData(const BYTE* data, DWORD size) {
  const char* text = reinterpret_cast<const char*>(data);
  const void* nul = size ? std::memchr(text, 0, size) : nullptr;
  return std::string(text, nul ? static_cast<const char*>(nul) - text : size);
}

void TRegistry::SelectRootKey(HKEY root) {
  if (root != root_) CloseCurrentKey();
  root_ = root;
}

HKEY TRegistry::OpenRaw(const std::string& path, REGSAM access) const {
  HKEY base = root_;
  std::string subKey = path;
  if (!subKey.empty() && subKey[0] == '\\')
    subKey.erase(0, 1);
  else if (current_.IsOpen())
    base = current_.Get();
  HKEY opened = nullptr;
  if (RegOpenKeyExA(base, subKey.c_str(), 0, access | kView, &opened) != ERROR_SUCCESS) return nullptr;
  return opened;
}

bool TRegistry::OpenKey(const std::string& path, REGSAM access) {
  HKEY opened = OpenRaw(path, access);
  if (!opened) return false;
  // The new key replaces the open one only once it has opened.
  current_ = RegKey(opened);
  return true;
}

bool TRegistry::KeyIsPresent(const std::string& path) { return RegKey(OpenRaw(path, kPresenceAccess)).IsOpen(); }

bool TRegistry::OpenExistingKey(const std::string& path) { return OpenKey(path, KEY_ALL_ACCESS); }

bool TRegistry::OpenExistingKeyReadOnly(const std::string& path) { return OpenKey(path, KEY_READ); }

void TRegistry::ListValueNames(std::vector<std::string>& names) {
  names.clear();
  ForEachValue([&](const RegValueView& value) { names.push_back(value.name); });
}

void TRegistry::ForEachValue(const std::function<void(const RegValueView&)>& visit) {
  DWORD count = 0, maxName = 0, maxData = 0;
  if (!current_.IsOpen() ||
      RegQueryInfoKeyA(current_.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                       &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
    return;
  std::vector<char> name(maxName + 1);
  // Two spare zero bytes: string data read into it is always terminated.
  std::vector<BYTE> data(maxData + 2);
  std::string nameText;
  for (DWORD index = 0;;) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size() - 2);
    DWORD type = 0;
    const LONG result = RegEnumValueA(current_.Get(), index, name.data(), &nameLength, nullptr, &type,
                                      data.data(), &dataSize);
    if (result == ERROR_MORE_DATA) {
      // A value was added or grew since the key was queried: ask again.
      DWORD newCount = 0;
      if (RegQueryInfoKeyA(current_.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &newCount,
                           &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return;
      name.resize(std::max<size_t>(name.size() * 2, maxName + 1));
      data.resize(std::max<size_t>(data.size() * 2, maxData + 2));
      continue;
    }
    if (result != ERROR_SUCCESS) return;  // ERROR_NO_MORE_ITEMS ends the walk
    nameText.assign(name.data(), nameLength);
    data[dataSize] = 0;
    data[dataSize + 1] = 0;
    visit(RegValueView{nameText, type, data.data(), dataSize});
    ++index;
  }
}

bool TRegistry::ValueExists(const std::string& name) {
  return current_.IsOpen() &&
         RegQueryValueExA(current_.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::vector<BYTE> TRegistry::ReadRawValue(const std::string& name, DWORD& type) {
  DWORD size = 0;
  LONG result = RegQueryValueExA(current_.Get(), name.c_str(), nullptr, &type, nullptr, &size);
  for (int attempt = 0; attempt < kReadAttempts && result == ERROR_SUCCESS; ++attempt) {
    std::vector<BYTE> data(size + 2, 0);
    DWORD got = size;
    result = RegQueryValueExA(current_.Get(), name.c_str(), nullptr, &type, data.data(), &got);
    if (result == ERROR_SUCCESS) {
      data.resize(got);
      return data;
    }
    if (result == ERROR_MORE_DATA) {
      // It grew since the size query: grow geometrically, so that a value
      // that keeps growing is still caught within a few attempts.
      size = std::max<DWORD>(got, size * 2) + 64;
      result = ERROR_SUCCESS;
    }
  }
  if (result == ERROR_FILE_NOT_FOUND) {
    type = REG_NONE;
    return {};
  }
  throw ERegistryException(FormatMessageText(kGetDataFailed, name));
}

std::string TRegistry::ReadStringValue(const std::string& name) {
  DWORD type = REG_NONE;
  const std::vector<BYTE> data = ReadRawValue(name, type);
  if (data.empty()) return std::string();
  if (!IsStringType(type)) throw ERegistryException(FormatMessageText(kInvalidType, name));
  return StringFromRegData(data.data(), static_cast<DWORD>(data.size()));
}

void TRegistry::WriteRawValue(const std::string& name, DWORD type, const BYTE* data, DWORD size) {
  if (!current_.IsOpen() ||
      RegSetValueExA(current_.Get(), name.c_str(), 0, type, data, size) != ERROR_SUCCESS)
    throw ERegistryException(FormatMessageText(kSetDataFailed, name));
}

void TRegistry::WriteStringValue(const std::string& name, const std::string& text) {
  WriteRawValue(name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
}

void TRegistry::WriteExpandStringValue(const std::string& name, const std::string& text) {
  WriteRawValue(name, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                static_cast<DWORD>(text.size() + 1));
}

DWORD TRegistry::ValueType(const std::string& name) {
  DWORD type = REG_NONE;
  if (!current_.IsOpen() ||
      RegQueryValueExA(current_.Get(), name.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
    return REG_NONE;
  return type;
}

void TRegistry::ChangeValueNameCase(const std::string& oldName, const std::string& newName) {
  if (!ValueExists(oldName)) return;
  DWORD type = REG_NONE;
  const std::vector<BYTE> data = ReadRawValue(oldName, type);
  RegDeleteValueA(current_.Get(), oldName.c_str());
  try {
    WriteRawValue(newName, type, data.data(), static_cast<DWORD>(data.size()));
  } catch (...) {
    RegSetValueExA(current_.Get(), oldName.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    throw;
  }
}

bool TRegistry::RemoveValue(const std::string& name) {
  return current_.IsOpen() && RegDeleteValueA(current_.Get(), name.c_str()) == ERROR_SUCCESS;
}

void TRegistry::ChangeValueName(const std::string& oldName, const std::string& newName) {
  if (!ValueExists(oldName) || ValueExists(newName)) return;
  DWORD type = REG_NONE;
  const std::vector<BYTE> data = ReadRawValue(oldName, type);
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_DWORD && type != REG_BINARY) type = REG_NONE;
  // Written under the new name first: a refused write leaves the old value.
  WriteRawValue(newName, type, data.data(), static_cast<DWORD>(data.size()));
  RegDeleteValueA(current_.Get(), oldName.c_str());
}
