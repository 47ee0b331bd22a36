#include "common/TRegistry.h"

#include "common/Unicode.h"

namespace {

const char* kGetDataFailed = "Failed to get data for '%s'";
const char* kSetDataFailed = "Failed to set data for '%s'";
const char* kDeleteFailed = "Failed to delete value '%s'";

// Written under the new name first, so that a refused write leaves the
// old one; nothing when the old name is missing or the new one taken.
void RenameValue(const RegistryKey& key, const std::wstring& oldName, const std::wstring& newName) {
  if (!key.ValueExists(oldName) || key.ValueExists(newName)) return;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (key.QueryValue(oldName, type, data) != ERROR_SUCCESS)
    throw ERegistryException(FormatMessageText(kGetDataFailed, oldName));
  // Written under the new name first, with its own type: a refused write
  // leaves the old value.
  if (key.SetValue(newName, type, data.data(), static_cast<DWORD>(data.size())) != ERROR_SUCCESS)
    throw ERegistryException(FormatMessageText(kSetDataFailed, newName));
  const LONG removed = key.DeleteValue(oldName);
  if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND)
    throw ERegistryException(FormatMessageText(kDeleteFailed, oldName) + "; '" + Utf8FromWide(newName) +
                             "' was written");
}

// The registry sees one value under both spellings: it goes, then comes
// back in the new case; a refused step leaves the old value as it was.
void RenameValueCase(const RegistryKey& key, const std::wstring& oldName, const std::wstring& newName) {
  if (!key.ValueExists(oldName)) return;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (key.QueryValue(oldName, type, data) != ERROR_SUCCESS)
    throw ERegistryException(FormatMessageText(kGetDataFailed, oldName));
  key.DeleteValue(oldName);
  if (key.SetValue(newName, type, data.data(), static_cast<DWORD>(data.size())) != ERROR_SUCCESS) {
    key.SetValue(oldName, type, data.data(), static_cast<DWORD>(data.size()));
    throw ERegistryException(FormatMessageText(kSetDataFailed, newName));
  }
}

void WriteOrThrow(LONG result, const std::string& name) {
  if (result != ERROR_SUCCESS) throw ERegistryException(FormatMessageText(kSetDataFailed, name), result);
}

}  // namespace

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

std::string TRegistry::ReadStringValue(const std::string& name) const {
  std::string text;
  const LONG result = current_.ReadString(name, text);
  if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
    throw ERegistryException(FormatMessageText(ReadFailurePattern(result), name), result);
  return text;
}

void TRegistry::WriteStringValue(const std::string& name, const std::string& text) const {
  WriteOrThrow(current_.WriteString(name, text, REG_SZ), name);
}

void TRegistry::WriteExpandStringValue(const std::string& name, const std::string& text) const {
  WriteOrThrow(current_.WriteString(name, text, REG_EXPAND_SZ), name);
}

void TRegistry::ChangeValueNameCase(const std::string& oldName, const std::string& newName) const {
  RenameValueCase(current_, WideFromAnsi(oldName), WideFromAnsi(newName));
}

void TRegistry::ChangeValueName(const std::string& oldName, const std::string& newName) const {
  RenameValue(current_, WideFromAnsi(oldName), WideFromAnsi(newName));
}
