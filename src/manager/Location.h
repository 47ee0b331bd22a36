#pragma once
// Location strings: a registry location ("HKEY_LOCAL_MACHINE\Software\...")
// or a folder location (a drive-letter or network path).
#include <string>

// A folder when the second character is ":" or the text begins with two
// backslashes (a Startup folder redirected to a share); anything else,
// also a text shorter than two characters, is a registry location.
bool IsFolderLocation(const std::string& location);

enum class RegistryRoot { CurrentUser, LocalMachine };

struct RegistryLocation {
  RegistryRoot root;
  std::string keyPath;  // from the first backslash on, the backslash included
};

// Only the exact, case-sensitive root name "HKEY_LOCAL_MACHINE" selects
// HKEY_LOCAL_MACHINE; every other root name selects HKEY_CURRENT_USER.
RegistryLocation SplitRegistryLocation(const std::string& location);
