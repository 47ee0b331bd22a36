#include <gtest/gtest.h>

#include "common/FileTools.h"
#include "common/nettools.h"
#include "common/ScreenCursor.h"
#include "common/Unicode.h"

namespace {

// Plays the network: records every call and the cursor shown during it.
class FakeNetwork : public NetworkProvider {
 public:
  DWORD addResult = NO_ERROR;
  DWORD cancelResult = NO_ERROR;
  std::string hostPath = "C:\\Program Files\\Strandel\\strandel.exe";
  std::vector<std::string> calls;
  std::vector<CursorShape> cursors;
  NETRESOURCEW lastResource{};
  std::wstring lastRemote;
  std::string lastComment;

  DWORD AddConnection(NETRESOURCEW& resource) override {
    calls.push_back("add");
    cursors.push_back(CurrentScreenCursor());
    lastResource = resource;
    lastRemote = resource.lpRemoteName ? resource.lpRemoteName : L"(null)";
    lastComment = resource.lpComment ? Utf8FromWide(resource.lpComment) : "(null)";
    return addResult;
  }
  DWORD CancelConnection(const std::wstring& remote) override {
    calls.push_back("cancel " + Utf8FromWide(remote));
    cursors.push_back(CurrentScreenCursor());
    return cancelResult;
  }
  void FetchExtendedError() override { calls.push_back("extended"); }
  std::wstring HostExecutablePath() override {
    calls.push_back("host");
    return WideFromAnsi(hostPath);
  }
};

class NetToolsTest : public testing::Test {
 protected:
  FakeNetwork network;
  NetworkProvider* previous = nullptr;
  void SetUp() override {
    previous = SetNetworkProvider(&network);
    SetScreenCursor(CursorShape::Default);
  }
  void TearDown() override {
    SetNetworkProvider(previous);
    KnownShares->clear();
  }
};

}  // namespace

TEST_F(NetToolsTest, NotASharePathMakesNoCall) {
  EXPECT_FALSE(ConnectNetworkShare("\\\\srv", true));
  EXPECT_FALSE(ConnectNetworkShare("C:\\a", false));
  EXPECT_TRUE(network.calls.empty());
}

TEST_F(NetToolsTest, ReachableShareIsProbedAndDisconnected) {
  EXPECT_TRUE(ConnectNetworkShare("\\\\srv\\data\\Startup\\", true));
  EXPECT_EQ(network.calls, (std::vector<std::string>{"add", "host", "cancel \\\\srv\\data"}));
  EXPECT_EQ(network.lastRemote, L"\\\\srv\\data");
  EXPECT_EQ(network.lastComment, "");
  EXPECT_EQ(network.lastResource.dwScope, DWORD(RESOURCE_GLOBALNET));
  EXPECT_EQ(network.lastResource.dwType, DWORD(RESOURCETYPE_ANY));
  EXPECT_EQ(network.lastResource.dwDisplayType, DWORD(RESOURCEDISPLAYTYPE_SHARE));
  EXPECT_EQ(network.lastResource.dwUsage, DWORD(RESOURCEUSAGE_CONTAINER));
  EXPECT_EQ(network.lastResource.lpLocalName, nullptr);
  EXPECT_EQ(network.lastResource.lpProvider, nullptr);
  EXPECT_EQ(network.cursors, (std::vector<CursorShape>{CursorShape::HourGlass, CursorShape::HourGlass}));
  EXPECT_EQ(CurrentScreenCursor(), CursorShape::Default);
}

// Only a connection the probe made is cancelled: a failed add, also one
// that fails because the user is connected to the share, cancels nothing.
TEST_F(NetToolsTest, FailedAddCancelsNothingAndIsFalse) {
  for (DWORD failure : {DWORD(ERROR_BAD_NET_NAME), DWORD(ERROR_ALREADY_ASSIGNED),
                        DWORD(ERROR_SESSION_CREDENTIAL_CONFLICT)}) {
    network.calls.clear();
    network.addResult = failure;
    EXPECT_FALSE(ConnectNetworkShare("\\\\srv\\gone\\x", false)) << failure;
    EXPECT_EQ(network.calls, (std::vector<std::string>{"add"})) << failure;
    EXPECT_EQ(CurrentScreenCursor(), CursorShape::Default);
  }
}

TEST_F(NetToolsTest, ExtendedCancelErrorIsFetched) {
  network.cancelResult = ERROR_EXTENDED_ERROR;
  EXPECT_TRUE(ConnectNetworkShare("\\\\srv\\data", false));
  EXPECT_EQ(network.calls.back(), "extended");
}

TEST_F(NetToolsTest, HostShareStaysConnectedWithExactCase) {
  network.hostPath = "\\\\srv\\data\\tools\\strandel.exe";
  EXPECT_TRUE(ConnectNetworkShare("\\\\srv\\data\\x", false));
  EXPECT_EQ(network.calls, (std::vector<std::string>{"add", "host"}));
  network.calls.clear();
  EXPECT_TRUE(ConnectNetworkShare("\\\\SRV\\data\\x", false));
  EXPECT_EQ(network.calls.back(), "cancel \\\\SRV\\data");
  EXPECT_EQ(CurrentScreenCursor(), CursorShape::Default);
}

TEST_F(NetToolsTest, CursorRestoredWhenTheProviderThrows) {
  struct Throwing : FakeNetwork {
    DWORD AddConnection(NETRESOURCEW&) override { throw std::runtime_error("provider failed"); }
  } throwing;
  SetNetworkProvider(&throwing);
  SetScreenCursor(CursorShape::Default);
  EXPECT_THROW(ConnectNetworkShare("\\\\srv\\data", false), std::runtime_error);
  EXPECT_EQ(CurrentScreenCursor(), CursorShape::Default);
}

TEST_F(NetToolsTest, KnownSharesAnswerWithoutNetwork) {
  EXPECT_FALSE(IsKnownShare(L"\\\\srv\\data\\x"));  // empty after load
  KnownShares->push_back("mapped: \\\\srv\\data (Z:)");
  EXPECT_TRUE(IsKnownShare(L"\\\\srv\\data\\x"));
  EXPECT_TRUE(ConnectNetworkShare("\\\\srv\\data\\x", true));
  EXPECT_TRUE(network.calls.empty());
  EXPECT_FALSE(IsKnownShare(L"\\\\other\\data"));
  ConnectNetworkShare("\\\\srv\\data\\x", false);  // not asked to look
  EXPECT_FALSE(network.calls.empty());
}

TEST_F(NetToolsTest, FolderIsPresentOnUnreachableShareSkipsAttributes) {
  network.addResult = ERROR_BAD_NETPATH;
  EXPECT_FALSE(FolderIsPresent("\\\\srv\\data\\Startup\\"));
  EXPECT_EQ(network.calls.front(), "add");
  network.calls.clear();
  EXPECT_FALSE(FolderIsPresent("\\\\srv\\"));  // not a share path: no probe, no folder
  EXPECT_TRUE(network.calls.empty());
}

// A share named beyond the ANSI code page reaches the provider as it is:
// through the code page it would be "\\\\??????\\...", another share.
TEST_F(NetToolsTest, ShareNamedBeyondTheCodePageIsProbedExactly) {
  const std::wstring server = L"\\\\\u0441\u0435\u0440\u0432\u0435\u0440\\\u0414\u0430\u043d\u043d\u044b\u0435";
  EXPECT_TRUE(ConnectNetworkShare(server + L"\\Startup\\", true));
  EXPECT_EQ(network.lastRemote, server);
  EXPECT_EQ(network.calls.back(), "cancel " + Utf8FromWide(server));
}
