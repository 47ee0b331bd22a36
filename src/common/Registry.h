#pragma once
// The registry layer: RegistryKey owns one open key. (TRegistry.h keeps
// the select-root, open, work, close object over it.)
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Errors.h"

// What the layers above raise for a registry failure; this layer only
// returns Win32 codes.
class ERegistryException : public EVelmoraError {
 public:
  using EVelmoraError::EVelmoraError;
};

// What a key is opened for.
enum class KeyAccess {
  Presence,  // only to learn that it exists
  Read,      // listing: a key the user may read but not write still opens
  Notify,    // to be told of its changes, and its last write
  Write,     // full access
  Create,    // full access, creating the key when it is missing
};

// Which of the two views of HKEY_LOCAL_MACHINE\Software a 64-bit Windows
// shows. A 32-bit library that does not name one sees the 32-bit view
// under the native key's name; 32-bit Windows ignores the flag.
enum class RegistryView { Native };

// One value as enumerated: name, type and raw data (string data in the
// code page of the call: ANSI for a byte-string name, UTF-16 for a wide one).
template <class Text>
struct BasicRegValueView {
  const Text& name;
  DWORD type;
  const BYTE* data;
  DWORD size;
};
using RegValueView = BasicRegValueView<std::string>;
using WideRegValueView = BasicRegValueView<std::wstring>;

// Text of REG_SZ / REG_EXPAND_SZ data: up to the first NUL within `size`
// bytes, so data without a terminator is never read past its end.
std::string StringFromRegData(const BYTE* data, DWORD size);
std::wstring WideStringFromRegData(const BYTE* data, DWORD size);

// The message pattern for a string read that failed with `code`: the
// value's type, or its data.
const char* ReadFailurePattern(LONG code);

// Owns one open registry key. Opening another closes the old key only
// once the new one has opened; results are the Win32 error codes.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() { Close(); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  RegistryKey(RegistryKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
  RegistryKey& operator=(RegistryKey&& other) noexcept;

  // Never creates the key. `subKey` is relative to `parent`.
  LONG Open(HKEY parent, const std::string& subKey, KeyAccess access, RegistryView view);
  LONG Open(HKEY parent, const std::wstring& subKey, KeyAccess access, RegistryView view);
  static bool IsPresent(HKEY parent, const std::string& subKey);
  HKEY Get() const { return key_; }
  bool IsOpen() const { return key_ != nullptr; }
  void Close();

  // Each of the value operations takes the name as an ANSI byte string or
  // as UTF-16; string data goes in the same form.
  bool ValueExists(const std::string& name) const;
  bool ValueExists(const std::wstring& name) const;
  // REG_NONE for a missing value.
  DWORD ValueType(const std::string& name) const;
  // Any value whole, growing the buffer while the value grows: ERROR_SUCCESS,
  // ERROR_FILE_NOT_FOUND or the failure's code.
  LONG QueryValue(const std::string& name, DWORD& type, std::vector<BYTE>& data) const;
  LONG QueryValue(const std::wstring& name, DWORD& type, std::vector<BYTE>& data) const;
  LONG SetValue(const std::string& name, DWORD type, const BYTE* data, DWORD size) const;
  LONG SetValue(const std::wstring& name, DWORD type, const BYTE* data, DWORD size) const;
  LONG DeleteValue(const std::string& name) const;
  LONG DeleteValue(const std::wstring& name) const;
  // A string value's text (empty for a missing or empty value, with
  // ERROR_FILE_NOT_FOUND or ERROR_SUCCESS); ERROR_INVALID_DATATYPE for a
  // value of another type.
  LONG ReadString(const std::string& name, std::string& text) const;
  LONG ReadString(const std::wstring& name, std::wstring& text) const;
  LONG WriteString(const std::string& name, const std::string& text, DWORD type = REG_SZ) const;
  LONG WriteString(const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ) const;
  // Every value in enumeration order, name, type and data from one call
  // each; a key that cannot be queried yields nothing.
  void ForEachValue(const std::function<void(const RegValueView&)>& visit) const;
  void ForEachValue(const std::function<void(const WideRegValueView&)>& visit) const;
  // The subkeys' names in enumeration order (the key opened with Read).
  std::vector<std::wstring> SubkeyNames() const;

 private:
  HKEY key_ = nullptr;
};
