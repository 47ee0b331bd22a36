#include "common/nettools.h"

#include "common/PathText.h"
#include "common/UnitCounter.h"
#include "common/ScreenCursor.h"

std::vector<std::string>* KnownShares = nullptr;

namespace {

class WNetProvider final : public NetworkProvider {
 public:
  DWORD AddConnection(NETRESOURCEA& resource) override {
    return WNetAddConnection2A(&resource, nullptr, nullptr, 0);
  }
  DWORD CancelConnection(const std::string& remoteName) override {
    return WNetCancelConnection2A(remoteName.c_str(), 0, FALSE);
  }
  void FetchExtendedError() override {
    // The provider's own text is fetched to clear it; nothing shows it.
    DWORD code = 0;
    char text[1024] = "", provider[1024] = "";
    WNetGetLastErrorA(&code, text, sizeof text - 1, provider, sizeof provider - 1);
  }
  std::string HostExecutablePath() override {
    std::string path(MAX_PATH, '\0');
    for (;;) {
      const DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
      if (length < path.size()) {
        path.resize(length);
        return path;
      }
      path.resize(path.size() * 2);
    }
  }
};

NetworkProvider* currentProvider = nullptr;
UnitCounter unitCounter;

}  // namespace

NetworkProvider& SystemNetworkProvider() {
  static WNetProvider provider;
  return provider;
}

NetworkProvider* SetNetworkProvider(NetworkProvider* provider) {
  NetworkProvider* previous = currentProvider;
  currentProvider = provider;
  return previous;
}

bool IsKnownShare(const std::string& path) {
  if (!KnownShares) return false;
  const std::string root = NetworkShareRoot(path);
  for (const std::string& entry : *KnownShares)
    if (HasSubstring(entry, root)) return true;
  return false;
}

bool ConnectNetworkShare(const std::string& path, bool checkKnownShares) {
  if (!IsNetworkSharePath(path)) return false;
  if (checkKnownShares && IsKnownShare(NetworkShareRoot(path))) return true;
  ScreenCursorScope hourGlass(CursorShape::HourGlass);
  NetworkProvider& network = currentProvider ? *currentProvider : SystemNetworkProvider();

  const std::string shareRoot = NetworkShareRoot(path);
  std::string remoteName = StripPathDelimiter(shareRoot);
  char emptyComment[1] = "";
  NETRESOURCEA resource{};
  resource.dwScope = RESOURCE_GLOBALNET;
  resource.dwType = RESOURCETYPE_ANY;
  resource.dwDisplayType = RESOURCEDISPLAYTYPE_SHARE;
  resource.dwUsage = RESOURCEUSAGE_CONTAINER;
  resource.lpRemoteName = &remoteName[0];
  resource.lpComment = emptyComment;
  const bool connected = network.AddConnection(resource) == NO_ERROR;
  // A failed add made no connection: one the user has to that share
  // (ERROR_ALREADY_ASSIGNED, ERROR_SESSION_CREDENTIAL_CONFLICT) is theirs.
  if (!connected) return false;

  // The share the host itself runs from stays connected.
  const std::string host = network.HostExecutablePath();
  if (IsNetworkPath(host) && NetworkShareRoot(host) == shareRoot) return connected;

  if (network.CancelConnection(remoteName) == ERROR_EXTENDED_ERROR) network.FetchExtendedError();
  return connected;
}

void nettools_Initialize() {
  if (!unitCounter.Enter()) return;
  KnownShares = new std::vector<std::string>;
  KnownShares->clear();
}

void nettools_Finalize() {
  if (!unitCounter.Leave()) return;
  KnownShares->clear();
  delete KnownShares;
  KnownShares = nullptr;
}
