#pragma once
// Saves the autorun keys and the Startup-folder values of the test prefix
// before a test and puts them back exactly afterwards, so tests can add,
// delete and break them freely. The Startup values point at fresh folders.
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "manager/RecordIndex.h"

extern const char* const kRunKeys[4];  // "Run", "RunOnce", ...
std::string RunKeyPath(const char* key);  // below the root, no leading backslash
std::string LocationText(HKEY root, const char* key);  // the location string
// Where Windows keeps the startup switches of "Run", "Run32" or
// "StartupFolder", as a key below CurrentVersion.
std::string SwitchKey(const char* key);

// The logon places beyond the Run keys, below either root: the policies'
// key and its Run key, the legacy Load/Run key, Winlogon; the Active Setup
// component the tests make (either view). The sandbox keeps them too.
extern const char* const kPolicies;
extern const char* const kPolicyRun;
extern const char* const kLegacyWindows;
extern const char* const kWinlogon;
extern const char* const kEnvironment;
extern const char* const kLegacyWindows32;
extern const char* const kValuesOnlyKeys[5];
// The Remote Desktop install Run and RunOnce keys, both views (native,
// native, 32-bit, 32-bit): the tests' own while they run.
extern const char* const kRemoteDesktopKeys[4];
// RunOnceEx (the user's key is one for both views), native and 32-bit.
extern const char* const kRunOnceExKeys[2];
extern const char* const kTestComponent;
extern const char* const kTestComponent32;

// The 32-bit programs' Run key, as the native view names it.
extern const char* const kWow64Run;
// Text as string data is stored: UTF-16 with its closing NUL.
std::vector<BYTE> Utf16(const std::wstring& text);
// Any value at a path below a root, in the native view, its name at full
// length: through the native call, the only way to a name with a NUL in it.
void SetValueAt(HKEY root, const std::string& path, const std::wstring& name, DWORD type,
                const std::vector<BYTE>& data);
bool HasValueAt(HKEY root, const std::string& path, const std::wstring& name);
// Every value at a path: name -> its text (a binary value as "N bytes").
std::map<std::wstring, std::wstring> ValuesAt(HKEY root, const std::string& path);
// Every value at a path exactly: name -> type and bytes.
std::map<std::wstring, StoredBytes> SnapshotAt(HKEY root, const std::string& path);
// Imports a registry editor's file with the system's editor (an
// implementation we did not write); false when it did not run.
bool ImportWithRegistryEditor(const std::wstring& file);

class AutorunSandbox {
 public:
  AutorunSandbox();
  ~AutorunSandbox();
  AutorunSandbox(const AutorunSandbox&) = delete;
  AutorunSandbox& operator=(const AutorunSandbox&) = delete;

  // Empties (creating) or removes one of the eight autorun keys.
  void EmptyKey(HKEY root, const char* key);
  void RemoveKey(HKEY root, const char* key);
  void SetValue(HKEY root, const char* key, const std::string& name, const std::string& data, DWORD type = REG_SZ);
  void SetRawValue(HKEY root, const char* key, const std::string& name, DWORD type, const void* data, DWORD size);
  std::vector<std::string> Names(HKEY root, const char* key) const;
  std::string Value(HKEY root, const char* key, const std::string& name, DWORD* type = nullptr) const;
  bool HasValue(HKEY root, const char* key, const std::string& name) const;
  // The raw data; empty and REG_NONE when there is no value.
  std::vector<BYTE> Bytes(HKEY root, const char* key, const std::string& name, DWORD* type = nullptr) const;

  // Rights refused: everyone may read the key, nobody may write it (as
  // HKEY_LOCAL_MACHINE for a program without elevation). Writable again
  // restores full access; the sandbox does it for every key at the end.
  void MakeReadOnly(HKEY root, const std::string& path);
  void MakeWritable(HKEY root, const std::string& path);
  static const char* ShellFoldersPath();

  // The Startup values as stored (raw text, any type).
  void SetStartupValue(HKEY root, const std::string& text, DWORD type = REG_SZ);
  void RemoveStartupValue(HKEY root);
  const TempDir& UserStartup() const { return userStartup_; }
  const TempDir& CommonStartup() const { return commonStartup_; }

 private:
  struct SavedValue {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
  };
  struct SavedKey {
    HKEY root;
    std::string path;
    bool existed;
    std::vector<SavedValue> values;
  };
  std::vector<SavedKey> saved_;
  TempDir userStartup_, commonStartup_;
};
