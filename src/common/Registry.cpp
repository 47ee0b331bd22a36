#include "common/Registry.h"

#include <algorithm>
#include <cstring>

#include "common/Unicode.h"

namespace {

// A value that keeps growing between size query and read is given up on
// after this many attempts rather than looping forever.
constexpr int kReadAttempts = 16;


bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

REGSAM RightsOf(KeyAccess access) {
  switch (access) {
    case KeyAccess::Presence:
      return STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
    case KeyAccess::Read:
      return KEY_READ;
    case KeyAccess::Notify:
      return KEY_NOTIFY | KEY_QUERY_VALUE;
    case KeyAccess::Write:
    case KeyAccess::Create:
      return KEY_ALL_ACCESS;
  }
  return KEY_READ;
}

REGSAM FlagOf(RegistryView) { return KEY_WOW64_64KEY; }

// The registry's calls for byte-string names (ANSI) and for UTF-16 names;
// everything above them is written once.
template <class Char>
struct Api;
template <>
struct Api<char> {
  static LONG Open(HKEY key, const char* sub, REGSAM sam, HKEY* out) { return RegOpenKeyExA(key, sub, 0, sam, out); }
  static LONG Create(HKEY key, const char* sub, REGSAM sam, HKEY* out) {
    return RegCreateKeyExA(key, sub, 0, nullptr, 0, sam, nullptr, out, nullptr);
  }
  static LONG Query(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) {
    return RegQueryValueExA(key, name, nullptr, type, data, size);
  }
  static LONG Set(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) {
    return RegSetValueExA(key, name, 0, type, data, size);
  }
  static LONG Delete(HKEY key, const char* name) { return RegDeleteValueA(key, name); }
  static LONG Enum(HKEY key, DWORD index, char* name, DWORD* length, DWORD* type, BYTE* data, DWORD* size) {
    return RegEnumValueA(key, index, name, length, nullptr, type, data, size);
  }
  static LONG Info(HKEY key, DWORD* count, DWORD* maxName, DWORD* maxData) {
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, count, maxName, maxData,
                            nullptr, nullptr);
  }
  static std::string Text(const BYTE* data, DWORD size) { return StringFromRegData(data, size); }
};
template <>
struct Api<wchar_t> {
  static LONG Open(HKEY key, const wchar_t* sub, REGSAM sam, HKEY* out) {
    return RegOpenKeyExW(key, sub, 0, sam, out);
  }
  static LONG Create(HKEY key, const wchar_t* sub, REGSAM sam, HKEY* out) {
    return RegCreateKeyExW(key, sub, 0, nullptr, 0, sam, nullptr, out, nullptr);
  }
  static LONG Query(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) {
    return RegQueryValueExW(key, name, nullptr, type, data, size);
  }
  static LONG Set(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) {
    return RegSetValueExW(key, name, 0, type, data, size);
  }
  static LONG Delete(HKEY key, const wchar_t* name) { return RegDeleteValueW(key, name); }
  static LONG Enum(HKEY key, DWORD index, wchar_t* name, DWORD* length, DWORD* type, BYTE* data, DWORD* size) {
    return RegEnumValueW(key, index, name, length, nullptr, type, data, size);
  }
  static LONG Info(HKEY key, DWORD* count, DWORD* maxName, DWORD* maxData) {
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, count, maxName, maxData,
                            nullptr, nullptr);
  }
  static std::wstring Text(const BYTE* data, DWORD size) { return WideStringFromRegData(data, size); }
};

template <class Text>
using ApiOf = Api<typename Text::value_type>;

template <class Text>
LONG QueryWhole(HKEY key, const Text& name, DWORD& type, std::vector<BYTE>& data) {
  data.clear();
  type = REG_NONE;
  if (!key) return ERROR_INVALID_HANDLE;
  DWORD size = 0;
  LONG result = ApiOf<Text>::Query(key, name.c_str(), &type, nullptr, &size);
  for (int attempt = 0; attempt < kReadAttempts && result == ERROR_SUCCESS; ++attempt) {
    // Two spare zero bytes: string data is always terminated, also UTF-16.
    data.assign(size + 2, 0);
    DWORD got = size;
    result = ApiOf<Text>::Query(key, name.c_str(), &type, data.data(), &got);
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

template <class Text>
LONG ReadText(const RegistryKey& key, const Text& name, Text& text) {
  text.clear();
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  const LONG result = key.QueryValue(name, type, data);
  if (result != ERROR_SUCCESS || data.empty()) return result;
  if (!IsStringType(type)) return ERROR_INVALID_DATATYPE;
  text = ApiOf<Text>::Text(data.data(), static_cast<DWORD>(data.size()));
  return ERROR_SUCCESS;
}

template <class Text>
LONG WriteText(const RegistryKey& key, const Text& name, const Text& text, DWORD type) {
  const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(typename Text::value_type));
  return key.SetValue(name, type, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

template <class Text>
void EnumerateValues(HKEY key, const std::function<void(const BasicRegValueView<Text>&)>& visit) {
  using Char = typename Text::value_type;
  DWORD count = 0, maxName = 0, maxData = 0;
  if (!key || ApiOf<Text>::Info(key, &count, &maxName, &maxData) != ERROR_SUCCESS) return;
  std::vector<Char> name(maxName + 1);
  // Two spare zero bytes: string data read into it is always terminated.
  std::vector<BYTE> data(maxData + 2);
  Text nameText;
  for (DWORD index = 0;;) {
    auto nameLength = static_cast<DWORD>(name.size());
    auto dataSize = static_cast<DWORD>(data.size() - 2);
    DWORD type = 0;
    const LONG result = ApiOf<Text>::Enum(key, index, name.data(), &nameLength, &type, data.data(), &dataSize);
    if (result == ERROR_MORE_DATA) {
      // A value was added or grew since the key was queried: ask again.
      DWORD newCount = 0;
      if (ApiOf<Text>::Info(key, &newCount, &maxName, &maxData) != ERROR_SUCCESS) return;
      name.resize(std::max<size_t>(name.size() * 2, maxName + 1));
      data.resize(std::max<size_t>(data.size() * 2, maxData + 2));
      continue;
    }
    if (result != ERROR_SUCCESS) return;  // ERROR_NO_MORE_ITEMS ends the walk
    nameText.assign(name.data(), nameLength);
    data[dataSize] = 0;
    data[dataSize + 1] = 0;
    visit(BasicRegValueView<Text>{nameText, type, data.data(), dataSize});
    ++index;
  }
}

template <class Text>
LONG OpenKey(HKEY parent, const Text& subKey, KeyAccess access, RegistryView view, HKEY& opened) {
  opened = nullptr;
  if (access == KeyAccess::Create)
    return ApiOf<Text>::Create(parent, subKey.c_str(), RightsOf(access) | FlagOf(view), &opened);
  return ApiOf<Text>::Open(parent, subKey.c_str(), RightsOf(access) | FlagOf(view), &opened);
}

}  // namespace

const char* ReadFailurePattern(LONG code) {
  return code == ERROR_INVALID_DATATYPE ? "Invalid data type for '%s'" : "Failed to get data for '%s'";
}

std::string StringFromRegData(const BYTE* data, DWORD size) {
  const char* text = reinterpret_cast<const char*>(data);
  const void* nul = size ? std::memchr(text, 0, size) : nullptr;
  return std::string(text, nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : size);
}

std::wstring WideStringFromRegData(const BYTE* data, DWORD size) {
  std::wstring text(size / sizeof(wchar_t), L'\0');
  if (!text.empty()) std::memcpy(&text[0], data, text.size() * sizeof(wchar_t));
  const auto nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  return text;
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
  return Open(parent, WideFromAnsi(subKey), access, view);
}

LONG RegistryKey::Open(HKEY parent, const std::wstring& subKey, KeyAccess access, RegistryView view) {
  HKEY opened = nullptr;
  const LONG result = OpenKey(parent, subKey, access, view, opened);
  if (result != ERROR_SUCCESS) return result;
  Close();
  key_ = opened;
  return ERROR_SUCCESS;
}

bool RegistryKey::IsPresent(HKEY parent, const std::string& subKey) {
  RegistryKey key;
  return key.Open(parent, subKey, KeyAccess::Presence, RegistryView::Native) == ERROR_SUCCESS;
}

std::vector<std::wstring> RegistryKey::SubkeyNames() const {
  std::vector<std::wstring> names;
  wchar_t name[256];  // a key name holds at most 255 characters
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    const LONG result = RegEnumKeyExW(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

void RegistryKey::Close() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

bool RegistryKey::ValueExists(const std::string& name) const {
  return key_ && Api<char>::Query(key_, name.c_str(), nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}
bool RegistryKey::ValueExists(const std::wstring& name) const {
  return key_ && Api<wchar_t>::Query(key_, name.c_str(), nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

DWORD RegistryKey::ValueType(const std::string& name) const {
  DWORD type = REG_NONE;
  if (!key_ || Api<char>::Query(key_, name.c_str(), &type, nullptr, nullptr) != ERROR_SUCCESS) return REG_NONE;
  return type;
}

LONG RegistryKey::QueryValue(const std::string& name, DWORD& type, std::vector<BYTE>& data) const {
  return QueryWhole(key_, name, type, data);
}
LONG RegistryKey::QueryValue(const std::wstring& name, DWORD& type, std::vector<BYTE>& data) const {
  return QueryWhole(key_, name, type, data);
}

LONG RegistryKey::SetValue(const std::string& name, DWORD type, const BYTE* data, DWORD size) const {
  return key_ ? Api<char>::Set(key_, name.c_str(), type, data, size) : ERROR_INVALID_HANDLE;
}
LONG RegistryKey::SetValue(const std::wstring& name, DWORD type, const BYTE* data, DWORD size) const {
  return key_ ? Api<wchar_t>::Set(key_, name.c_str(), type, data, size) : ERROR_INVALID_HANDLE;
}

LONG RegistryKey::DeleteValue(const std::string& name) const {
  return key_ ? Api<char>::Delete(key_, name.c_str()) : ERROR_INVALID_HANDLE;
}
LONG RegistryKey::DeleteValue(const std::wstring& name) const {
  return key_ ? Api<wchar_t>::Delete(key_, name.c_str()) : ERROR_INVALID_HANDLE;
}

LONG RegistryKey::ReadString(const std::string& name, std::string& text) const { return ReadText(*this, name, text); }
LONG RegistryKey::ReadString(const std::wstring& name, std::wstring& text) const { return ReadText(*this, name, text); }

LONG RegistryKey::WriteString(const std::string& name, const std::string& text, DWORD type) const {
  return WriteText(*this, name, text, type);
}
LONG RegistryKey::WriteString(const std::wstring& name, const std::wstring& text, DWORD type) const {
  return WriteText(*this, name, text, type);
}

void RegistryKey::ForEachValue(const std::function<void(const RegValueView&)>& visit) const {
  EnumerateValues<std::string>(key_, visit);
}
void RegistryKey::ForEachValue(const std::function<void(const WideRegValueView&)>& visit) const {
  EnumerateValues<std::wstring>(key_, visit);
}
