#pragma once
// Location strings: a registry location ("HKEY_LOCAL_MACHINE\Software\...")
// or a folder location (a drive-letter or network path), as byte strings
// or as UTF-16.
#include <string>

// A folder when the second character is ":" or the text begins with two
// backslashes (a Startup folder redirected to a share); anything else,
// also a text shorter than two characters, is a registry location.
bool IsFolderLocation(const std::string& location);
bool IsFolderLocation(const std::wstring& location);

enum class RegistryRoot { CurrentUser, LocalMachine };

template <class Text>
struct BasicRegistryLocation {
  RegistryRoot root;
  Text keyPath;  // from the first backslash on, the backslash included
};
using RegistryLocation = BasicRegistryLocation<std::string>;
using WideRegistryLocation = BasicRegistryLocation<std::wstring>;

// Only the exact, case-sensitive root name "HKEY_LOCAL_MACHINE" selects
// HKEY_LOCAL_MACHINE; every other root name selects HKEY_CURRENT_USER.
RegistryLocation SplitRegistryLocation(const std::string& location);
WideRegistryLocation SplitRegistryLocation(const std::wstring& location);
