#include <gtest/gtest.h>

#include <algorithm>

#include "AutorunSandbox.h"
#include "manager/LocationCatalogue.h"

namespace {

// The catalogue as text: "+ROOT(location)" for a root, "caption(location)"
// for a child that allows adding.
std::vector<std::string> Shape() {
  std::vector<std::string> shape;
  for (const CatalogueNode& node : ReadLocationCatalogue())
    shape.push_back((node.isRoot ? "+" : "") + A(node.caption) + (node.AllowsAdd() == node.isRoot ? "!" : "") + "(" +
                    A(node.location.Text()) + ")");
  return shape;
}

class CatalogueTest : public testing::Test {
 protected:
  AutorunSandbox sandbox;
  void SetUp() override {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      for (const char* key : kRunKeys) sandbox.EmptyKey(root, key);
      // Every logon place present, as on Windows.
      for (const char* key : {kPolicyRun, kLegacyWindows, kWinlogon}) {
        HKEY made = nullptr;
        RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &made, nullptr);
        RegCloseKey(made);
      }
    }
  }
  void TearDown() override { SetWow64ViewForTesting(-1); }
};

const std::string kUser = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\";
const std::string kMachine = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\";
const std::string kPolicyRunText = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run)";
const std::string kWinlogonText = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon)";
const std::string kTwins = "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\";

}  // namespace

TEST_F(CatalogueTest, NodesCaptionsLocationsAndOrder) {
  SetWow64ViewForTesting(0);
  sandbox.RemoveKey(HKEY_CURRENT_USER, "RunServices");
  sandbox.RemoveKey(HKEY_LOCAL_MACHINE, "RunOnce");
  sandbox.SetStartupValue(HKEY_LOCAL_MACHINE, sandbox.CommonStartup().Path() + "\\");
  EXPECT_EQ(Shape(), (std::vector<std::string>{
                         "+CURRENT USER(" + kUser + ")",
                         "Run(" + kUser + "Run)",
                         "Run Once(" + kUser + "RunOnce)",
                         "Run Services Once(" + kUser + "RunServicesOnce)",
                         "Auto Run(" + sandbox.UserStartup().Path() + ")",
                         "Run (policy)(HKEY_CURRENT_USER\\" + kPolicyRunText,
                         "Load and Run (legacy)(HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows)",
                         "Winlogon!(HKEY_CURRENT_USER\\" + kWinlogonText,
                         "Logon script(HKEY_CURRENT_USER\\Environment)",
                         "+LOCAL MACHINE(" + kMachine + ")",
                         "Run(" + kMachine + "Run)",
                         "Run Services(" + kMachine + "RunServices)",
                         "Run Services Once(" + kMachine + "RunServicesOnce)",
                         // As stored: the backslash stays.
                         "Auto Run(" + sandbox.CommonStartup().Path() + "\\)",
                         // Shared by both views: one node, as are the others below.
                         "Run (policy)(HKEY_LOCAL_MACHINE\\" + kPolicyRunText,
                         "Winlogon!(HKEY_LOCAL_MACHINE\\" + kWinlogonText,
                         "Active Setup!(HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Active Setup\\Installed Components)",
                         "AppInit DLLs!(HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows)",
                         // Playing 32-bit Windows, the Tasks folder is looked for
                         // where that Windows keeps it: none here.
                     }));
  // A Startup value that names no folder leaves out only its node.
  sandbox.SetStartupValue(HKEY_CURRENT_USER, sandbox.UserStartup().File("absent"));
  sandbox.RemoveStartupValue(HKEY_LOCAL_MACHINE);
  const std::vector<std::string> shape = Shape();
  EXPECT_EQ(std::count_if(shape.begin(), shape.end(), [](const std::string& n) { return n.rfind("Auto Run", 0) == 0; }),
            0);
  EXPECT_EQ(shape.size(), 16u);
}

TEST_F(CatalogueTest, TwinsOfTheMachineKeysOnlyUnderWow64) {
  // Run Services Once made in the 32-bit view; the prefix has some of the
  // others there of its own.
  HKEY parent;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0,
                          KEY_ALL_ACCESS | KEY_WOW64_32KEY, &parent),
            ERROR_SUCCESS);
  HKEY made = nullptr;
  const bool hadIt = RegOpenKeyExA(parent, "RunServicesOnce", 0, KEY_READ, &made) == ERROR_SUCCESS;
  if (!hadIt) RegCreateKeyA(parent, "RunServicesOnce", &made);
  RegCloseKey(made);
  const char* const captions[] = {"Run (32-bit)", "Run Once (32-bit)", "Run Services (32-bit)",
                                  "Run Services Once (32-bit)"};
  std::vector<std::string> expected;
  for (int i = 0; i < 4; ++i) {
    HKEY existing;
    if (RegOpenKeyExA(parent, kRunKeys[i], 0, KEY_READ, &existing) != ERROR_SUCCESS) continue;
    RegCloseKey(existing);
    expected.push_back(std::string(captions[i]) + "(" + kTwins + kRunKeys[i] + ")");
  }
  SetWow64ViewForTesting(-1);
  const std::vector<std::string> shape = Shape();
  if (!hadIt) RegDeleteKeyA(parent, "RunServicesOnce");
  RegCloseKey(parent);
  const auto machine = std::find(shape.begin(), shape.end(), "+LOCAL MACHINE(" + kMachine + ")");
  ASSERT_NE(machine, shape.end());
  // After the Startup folder: the policy's key, Winlogon, Active Setup and
  // its twin, the scheduled tasks, AppInit DLLs (the test made only the
  // native view's key).
  ASSERT_EQ(shape.end() - machine, static_cast<long>(1 + 4 + expected.size() + 1 + 6));
  // After the four native keys, in their order, before the Startup folder;
  // Active Setup's twin after Active Setup, the policy's key only once.
  EXPECT_EQ(std::vector<std::string>(machine + 5, machine + 5 + static_cast<long>(expected.size())), expected);
  EXPECT_EQ(shape[shape.size() - 7], "Auto Run(" + sandbox.CommonStartup().Path() + ")");
  EXPECT_EQ(shape[shape.size() - 3],
            "Active Setup (32-bit)!(HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Active Setup\\Installed "
            "Components)");
  SetWow64ViewForTesting(0);
  for (const CatalogueNode& node : ReadLocationCatalogue())
    EXPECT_EQ(node.caption.find(L"(32-bit)"), std::wstring::npos) << A(node.caption);
}
