#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Errors.h"

class ERegistryException : public EVelmoraError {
 public:
  using EVelmoraError::EVelmoraError;
};

// Owns one open registry key; closes it when replaced or destroyed.
class RegKey {
 public:
  RegKey() = default;
  explicit RegKey(HKEY key) : key_(key) {}
  ~RegKey() { Close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& other) noexcept : key_(other.Release()) {}
  RegKey& operator=(RegKey&& other) noexcept;

  HKEY Get() const { return key_; }
  bool IsOpen() const { return key_ != nullptr; }
  HKEY Release();
  void Close();

 private:
  HKEY key_ = nullptr;
};

// One value as enumerated: name, type and raw data.
struct RegValueView {
  const std::string& name;
  DWORD type;
  const BYTE* data;
  DWORD size;
};

// Text of REG_SZ / REG_EXPAND_SZ data: up to the first NUL within `size`
// bytes, so data without a terminator is never read past its end.
std::string StringFromRegData(const BYTE* data, DWORD size);

// A registry object for one task: select the root, open a key, work on its
// values, close it. Keys opened for writing get full access.
class TRegistry {
 public:
  TRegistry() = default;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  void SelectRootKey(HKEY root);
  HKEY RootKey() const { return root_; }
  HKEY CurrentKey() const { return current_.Get(); }

  // Paths beginning with "\" start at the root; others at the open key,
  // or at the root when none is open.
  bool KeyIsPresent(const std::string& path);
  bool OpenExistingKey(const std::string& path);
  // For callers that only list: a key the user may read but not write
  // still opens.
  bool OpenExistingKeyReadOnly(const std::string& path);

  void ListValueNames(std::vector<std::string>& names);
  // Every value of the open key in enumeration order, name, type and data
  // from one call each; a key that cannot be queried yields nothing.
  void ForEachValue(const std::function<void(const RegValueView&)>& visit);
  bool ValueExists(const std::string& name);
  std::string ReadStringValue(const std::string& name);
  void WriteStringValue(const std::string& name, const std::string& text);
  void WriteExpandStringValue(const std::string& name, const std::string& text);
  // REG_NONE for a missing value.
  DWORD ValueType(const std::string& name);
  // Renames to a name that differs only in letter case (the registry sees
  // one value); on a refused write the old value is put back.
  void ChangeValueNameCase(const std::string& oldName, const std::string& newName);
  bool RemoveValue(const std::string& name);
  void ChangeValueName(const std::string& oldName, const std::string& newName);
  void CloseCurrentKey() { current_.Close(); }

 private:
  // Opens `path` by the path rule above; null when it does not open.
  HKEY OpenRaw(const std::string& path, REGSAM access) const;
  bool OpenKey(const std::string& path, REGSAM access);
  // Reads any value whole, growing the buffer while the value grows.
  std::vector<BYTE> ReadRawValue(const std::string& name, DWORD& type);
  void WriteRawValue(const std::string& name, DWORD type, const BYTE* data, DWORD size);

  HKEY root_ = HKEY_CURRENT_USER;
  RegKey current_;
};
