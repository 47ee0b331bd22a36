#pragma once
// Which autorun locations exist: a root per registry hive, the Run keys
// below it (and on 64-bit Windows the 32-bit programs' twins of the
// machine's keys), and the Startup folder. No window is involved; the
// frame turns the nodes into its tree.
#include <functional>
#include <string>
#include <vector>

#include "common/Registry.h"

struct CatalogueNode {
  std::wstring caption;
  std::wstring location;  // a location string (see Location.h)
  bool isRoot = false;   // "CURRENT USER", "LOCAL MACHINE"; a child follows its root
  bool allowsAdd = false;  // a concrete location: the children
  // The registry location of Windows' startup switches for the entries
  // here (SwitchFormat.h); empty where Windows has none (RunOnce,
  // RunServices, RunServicesOnce, the roots).
  std::wstring switchLocation;
};

// Visits the nodes that exist now, in tree order. An error of the
// registry layer ends the walk there: the nodes visited so far stand and
// the error goes on to the caller.
void ForEachCatalogueNode(const std::function<void(const CatalogueNode&)>& visit);
std::vector<CatalogueNode> ReadLocationCatalogue();

// True when the library runs as a 32-bit program on 64-bit Windows, where
// HKEY_LOCAL_MACHINE\Software has a second, 32-bit view. Tests may play
// 32-bit Windows.
bool HasWow64RegistryView();
void SetWow64ViewForTesting(int answer);  // 1 yes, 0 no, -1 ask the system

// Opens the key a registry location names (the split of Location.h) in the
// native view; the Win32 result.
LONG OpenRegistryLocation(RegistryKey& key, const std::wstring& location, KeyAccess access);
// The same for a change: throws "Failed to open key '%s'" (the location)
// when the key does not open.
RegistryKey OpenRegistryLocationOrThrow(const std::wstring& location, KeyAccess access);

// The Startup folders as the registry records them, or empty.
std::wstring GetUserStartupFolder();
std::wstring GetCommonStartupFolder();
