#include "common/nettools.h"

#include "common/PathText.h"
#include "common/UnitCounter.h"
#include "common/ScreenCursor.h"
#include "common/Unicode.h"

std::vector<std::string>* KnownShares = nullptr;

namespace {

class WNetProvider final : public NetworkProvider {
 public:
  DWORD AddConnection(NETRESOURCEW& resource) override {
    return WNetAddConnection2W(&resource, nullptr, nullptr, 0);
  }
  DWORD CancelConnection(const std::wstring& remoteName) override {
    return WNetCancelConnection2W(remoteName.c_str(), 0, FALSE);
  }
  void FetchExtendedError() override {
    // The provider's own text is fetched to clear it; nothing shows it.
    DWORD code = 0;
    wchar_t text[1024] = L"", provider[1024] = L"";
    WNetGetLastErrorW(&code, text, 1023, provider, 1023);
  }
  std::wstring HostExecutablePath() override {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
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

// The list holds the host's texts, in the ANSI code page.
bool IsKnownShare(const std::wstring& path) {
  if (!KnownShares) return false;
  const std::wstring root = NetworkShareRoot(path);
  for (const std::string& entry : *KnownShares)
    if (WideFromAnsi(entry).find(root) != std::wstring::npos) return true;
  return false;
}

bool ConnectNetworkShare(const std::string& path, bool checkKnownShares) {
  return ConnectNetworkShare(WideFromAnsi(path), checkKnownShares);
}

bool ConnectNetworkShare(const std::wstring& path, bool checkKnownShares) {
  if (!IsNetworkSharePath(path)) return false;
  if (checkKnownShares && IsKnownShare(NetworkShareRoot(path))) return true;
  ScreenCursorScope hourGlass(CursorShape::HourGlass);
  NetworkProvider& network = currentProvider ? *currentProvider : SystemNetworkProvider();

  const std::wstring shareRoot = NetworkShareRoot(path);
  std::wstring remoteName = StripPathDelimiter(shareRoot);
  wchar_t emptyComment[1] = L"";
  NETRESOURCEW resource{};
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
  const std::wstring host = network.HostExecutablePath();
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
