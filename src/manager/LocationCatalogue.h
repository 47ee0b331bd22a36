#pragma once
// Which autorun places exist: a root per registry hive and below it the
// places of one table (LocationCatalogue.cpp): the Run keys (and on 64-bit
// Windows the 32-bit programs' twins of the machine's keys), the Startup
// folder, the policy's Run key, the legacy Load and Run values, Winlogon
// and Active Setup. No window is involved; the frame turns the nodes into
// its tree.
#include <functional>
#include <string>
#include <vector>

#include "common/Registry.h"
#include "manager/Location.h"

struct CatalogueNode {
  std::wstring caption;
  Location location;  // a root's is its CurrentVersion key, of kind None
  // Where Windows keeps the startup switches of the entries here
  // (SwitchFormat.h); empty where it has none.
  Location switches;
  bool isRoot = false;  // "CURRENT USER", "LOCAL MACHINE"; a child follows its root
  // The policy value under Policies\Explorer (of either hive) that makes
  // Windows skip this key at logon; null for none.
  const wchar_t* skippedBy = nullptr;
  bool AllowsAdd() const { return !isRoot && location.kind != LocationKind::None && location.rules->add; }
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

// Opens a location's key in the native view; the Win32 result.
LONG OpenLocation(RegistryKey& key, const Location& location, KeyAccess access);
// The same for a change: throws "Failed to open key '%s'" (the location)
// when the key does not open.
RegistryKey OpenLocationOrThrow(const Location& location, KeyAccess access);

// What a person reads for an entry of a place of one value per subkey
// (an Active Setup component's StubPath) kept with `key` and `name`: the
// component's own title, else its id; empty for any other entry.
std::wstring SubkeyEntryTitle(const Location& key, const std::wstring& name);

// Whether a place takes an entry of this name: any, or one its rules name
// (the same name as the registry compares them).
bool TakesName(const PlaceRules& rules, const std::wstring& name);

// The Startup folders as the registry records them, or empty.
std::wstring GetUserStartupFolder();
std::wstring GetCommonStartupFolder();

// The policies' keys (HKEY_LOCAL_MACHINE's, then HKEY_CURRENT_USER's) whose
// values make Windows skip Run keys: watched while such a key is shown.
std::vector<Location> PolicyKeys();
// What makes Windows skip a key now: "<value> is set in <key>" for the
// first hive where the DWORD `policyValue` is not 0; empty when neither.
std::wstring SkippingPolicy(const wchar_t* policyValue);
// "Not loaded: <value> is 0" while the DWORD `value` of the location's
// key is 0 or absent; empty while it is not.
std::wstring NotLoadedText(const Location& location, const std::wstring& value);
// The system folder Winlogon's defaults name (of the 64-bit Windows on
// 64-bit Windows: the native view's programs).
std::wstring WinlogonSystemFolder();
