#pragma once
// A registry object for one task over RegistryKey: select the root, open a
// key, work on its values, close it. Errors are raised as the older
// callers expect; the manager uses RegistryKey itself.
#include <string>

#include "common/Registry.h"

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
  bool KeyIsPresent(const std::string& path) const;
  bool OpenExistingKey(const std::string& path);
  bool OpenExistingKeyReadOnly(const std::string& path);

  void ForEachValue(const std::function<void(const RegValueView&)>& visit) const { current_.ForEachValue(visit); }
  bool ValueExists(const std::string& name) const { return current_.ValueExists(name); }
  // Raises "Invalid data type for '%s'" or "Failed to get data for '%s'".
  std::string ReadStringValue(const std::string& name) const;
  void WriteStringValue(const std::string& name, const std::string& text) const;
  void WriteExpandStringValue(const std::string& name, const std::string& text) const;
  DWORD ValueType(const std::string& name) const { return current_.ValueType(name); }
  // Renames to a name that differs only in letter case (the registry sees
  // one value); on a refused write the old value is put back.
  void ChangeValueNameCase(const std::string& oldName, const std::string& newName) const;
  bool RemoveValue(const std::string& name) const { return current_.DeleteValue(name) == ERROR_SUCCESS; }
  LONG RemoveValueResult(const std::string& name) const { return current_.DeleteValue(name); }
  // Keeps the value's type and data. When the old name cannot be removed
  // after the new one was written, raises "Failed to delete value '%s'"
  // naming both.
  void ChangeValueName(const std::string& oldName, const std::string& newName) const;
  void CloseCurrentKey() { current_.Close(); }

 private:
  bool Open(const std::string& path, KeyAccess access);
  HKEY BaseFor(const std::string& path) const;

  HKEY root_ = HKEY_CURRENT_USER;
  RegistryKey current_;
};
