#include "common/Registry.h"

#include <algorithm>
#include <cstring>

namespace {

// A value that keeps growing between size query and read is given up on
// after this many attempts rather than looping forever.
constexpr int kReadAttempts = 16;

const char* kGetDataFailed = "Failed to get data for '%s'";
const char* kSetDataFailed = "Failed to set data for '%s'";
const char* kInvalidType = "Invalid data type for '%s'";
const char* kDeleteFailed = "Failed to delete value '%s'";

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

REGSAM RightsOf(KeyAccess access) {
  switch (access) {
    case KeyAccess::Presence:
      return STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
    case KeyAccess::Read:
      return KEY_READ;
    case KeyAccess::Write:
      return KEY_ALL_ACCESS;
  }
  return KEY_READ;
}

REGSAM FlagOf(RegistryView) { return KEY_WOW64_64KEY; }

}  // namespace

std::string StringFromRegData(const BYTE* data, DWORD size) {
  const char* text = reinterpret_cast<const char*>(data);
  const void* nul = size ? std::memchr(text, 0, size) : nullptr;
  return std::string(text, nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : size);
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  if (this != &other) {
    Close();
    key_ = other.key_;
    other.key_ = nullptr;
  }
  return *this;
}

LONG RegistryKey::Open(HKEY parent, const std::string& subKey, KeyAccess access, RegistryView view) {
  HKEY opened = nullptr;
  const LONG result = RegOpenKeyExA(parent, subKey.c_str(), 0, RightsOf(access) | FlagOf(view), &opened);
  if (result != ERROR_SUCCESS) return result;
  Close();
  key_ = opened;
  return ERROR_SUCCESS;
}

bool RegistryKey::IsPresent(HKEY parent, const std::string& subKey) {
  RegistryKey key;
  return key.Open(parent, subKey, KeyAccess::Presence, RegistryView::Native) == ERROR_SUCCESS;
}

void RegistryKey::Close() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

bool RegistryKey::ValueExists(const std::string& name) const {
  return key_ && RegQueryValueExA(key_, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

DWORD RegistryKey::ValueType(const std::string& name) const {
  DWORD type = REG_NONE;
  if (!key_ || RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
    return REG_NONE;
  return type;
}

LONG RegistryKey::QueryValue(const std::string& name, DWORD& type, std::vector<BYTE>& data) const {
  data.clear();
  type = REG_NONE;
  if (!key_) return ERROR_INVALID_HANDLE;
  DWORD size = 0;
  LONG result = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size);
  for (int attempt = 0; attempt < kReadAttempts && result == ERROR_SUCCESS; ++attempt) {
    data.assign(size + 2, 0);
    DWORD got = size;
    result = RegQueryValueExA(key_, name.c_str(), nullptr, &type, data.data(), &got);
    if (result == ERROR_SUCCESS) {
      data.resize(got);
      return result;
    }
    if (result == ERROR_MORE_DATA) {
      // It grew since the size query: grow geometrically, so that a value
      // that keeps growing is still caught within a few attempts.
      size = std::max<DWORD>(got, size * 2) + 64;
      result = ERROR_SUCCESS;
    }
  }
  data.clear();
  if (result == ERROR_SUCCESS) result = ERROR_MORE_DATA;  // gave up on a value that kept growing
  if (result == ERROR_FILE_NOT_FOUND) type = REG_NONE;
  return result;
}

LONG RegistryKey::SetValue(const std::string& name, DWORD type, const BYTE* data, DWORD size) const {
  if (!key_) return ERROR_INVALID_HANDLE;
  return RegSetValueExA(key_, name.c_str(), 0, type, data, size);
}

LONG RegistryKey::DeleteValue(const std::string& name) const {
  if (!key_) return ERROR_INVALID_HANDLE;
  return RegDeleteValueA(key_, name.c_str());
}

std::string RegistryKey::ReadString(const std::string& name) const {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  const LONG result = QueryValue(name, type, data);
  if (result == ERROR_FILE_NOT_FOUND) return std::string();
  if (result != ERROR_SUCCESS) throw ERegistryException(FormatMessageText(kGetDataFailed, name));
  if (data.empty()) return std::string();
  if (!IsStringType(type)) throw ERegistryException(FormatMessageText(kInvalidType, name));
  return StringFromRegData(data.data(), static_cast<DWORD>(data.size()));
}

void RegistryKey::WriteString(const std::string& name, const std::string& text, DWORD type) const {
  if (SetValue(name, type, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1)) !=
      ERROR_SUCCESS)
    throw ERegistryException(FormatMessageText(kSetDataFailed, name));
}

void RegistryKey::ForEachValue(const std::function<void(const RegValueView&)>& visit) const {
  DWORD count = 0, maxName = 0, maxData = 0;
  if (!key_ || RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName,
                                &maxData, nullptr, nullptr) != ERROR_SUCCESS)
    return;
  std::vector<char> name(maxName + 1);
  // Two spare zero bytes: string data read into it is always terminated.
  std::vector<BYTE> data(maxData + 2);
  std::string nameText;
  for (DWORD index = 0;;) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size() - 2);
    DWORD type = 0;
    const LONG result = RegEnumValueA(key_, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
    if (result == ERROR_MORE_DATA) {
      // A value was added or grew since the key was queried: ask again.
      DWORD newCount = 0;
      if (RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &newCount, &maxName, &maxData,
                           nullptr, nullptr) != ERROR_SUCCESS)
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

void TRegistry::SelectRootKey(HKEY root) {
  if (root != root_) CloseCurrentKey();
  root_ = root;
}

HKEY TRegistry::BaseFor(const std::string& path) const {
  if (!path.empty() && path[0] == '\\') return root_;
  return current_.IsOpen() ? current_.Get() : root_;
}

// A leading backslash names a path from the root.
static std::string WithoutLeadingBackslash(const std::string& path) {
  return !path.empty() && path[0] == '\\' ? path.substr(1) : path;
}

bool TRegistry::KeyIsPresent(const std::string& path) const {
  return RegistryKey::IsPresent(BaseFor(path), WithoutLeadingBackslash(path));
}

bool TRegistry::Open(const std::string& path, KeyAccess access) {
  RegistryKey key;
  if (key.Open(BaseFor(path), WithoutLeadingBackslash(path), access, RegistryView::Native) != ERROR_SUCCESS)
    return false;
  current_ = std::move(key);
  return true;
}

bool TRegistry::OpenExistingKey(const std::string& path) { return Open(path, KeyAccess::Write); }

bool TRegistry::OpenExistingKeyReadOnly(const std::string& path) { return Open(path, KeyAccess::Read); }

void TRegistry::WriteStringValue(const std::string& name, const std::string& text) const {
  current_.WriteString(name, text, REG_SZ);
}

void TRegistry::WriteExpandStringValue(const std::string& name, const std::string& text) const {
  current_.WriteString(name, text, REG_EXPAND_SZ);
}

void TRegistry::ChangeValueNameCase(const std::string& oldName, const std::string& newName) const {
  if (!ValueExists(oldName)) return;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (current_.QueryValue(oldName, type, data) != ERROR_SUCCESS)
    throw ERegistryException(FormatMessageText(kGetDataFailed, oldName));
  current_.DeleteValue(oldName);
  if (current_.SetValue(newName, type, data.data(), static_cast<DWORD>(data.size())) != ERROR_SUCCESS) {
    current_.SetValue(oldName, type, data.data(), static_cast<DWORD>(data.size()));
    throw ERegistryException(FormatMessageText(kSetDataFailed, newName));
  }
}

void TRegistry::ChangeValueName(const std::string& oldName, const std::string& newName) const {
  if (!ValueExists(oldName) || ValueExists(newName)) return;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (current_.QueryValue(oldName, type, data) != ERROR_SUCCESS)
    throw ERegistryException(FormatMessageText(kGetDataFailed, oldName));
  // Written under the new name first, with its own type: a refused write
  // leaves the old value.
  if (current_.SetValue(newName, type, data.data(), static_cast<DWORD>(data.size())) != ERROR_SUCCESS)
    throw ERegistryException(FormatMessageText(kSetDataFailed, newName));
  const LONG removed = current_.DeleteValue(oldName);
  if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND)
    throw ERegistryException(FormatMessageText(kDeleteFailed, oldName) + "; '" + newName + "' was written");
}
