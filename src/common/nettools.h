#pragma once
// Network (UNC) shares: finding a path's share and probing it with a
// connection so that a folder on it can be tested.
#include <windows.h>

#include <string>
#include <vector>

#include "common/ShareText.h"

// Share roots known to be reachable; created at load, freed at unload.
extern std::vector<std::string>* KnownShares;

bool IsKnownShare(const std::wstring& path);
// Wide throughout: a share may be named beyond the ANSI code page. The
// byte-string form converts on the way in.
bool ConnectNetworkShare(const std::wstring& path, bool checkKnownShares);
bool ConnectNetworkShare(const std::string& path, bool checkKnownShares);

// The calls ConnectNetworkShare makes. Tests replace it, since Wine has
// no network provider.
class NetworkProvider {
 public:
  virtual ~NetworkProvider() = default;
  virtual DWORD AddConnection(NETRESOURCEW& resource) = 0;
  virtual DWORD CancelConnection(const std::wstring& remoteName) = 0;
  virtual void FetchExtendedError() = 0;
  virtual std::wstring HostExecutablePath() = 0;
};

NetworkProvider& SystemNetworkProvider();
// Returns the provider that was in use; nullptr restores the system's.
NetworkProvider* SetNetworkProvider(NetworkProvider* provider);

void nettools_Initialize();
void nettools_Finalize();
