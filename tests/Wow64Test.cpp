#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "ManagerFixture.h"
#include "manager/velwin.h"

namespace {

// Values in the 32-bit view, written and read as a 32-bit program on
// 64-bit Windows sees them through redirection.
void Set32(const char* key, const std::string& name, const std::string& data) {
  HKEY opened;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, RunKeyPath(key).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &opened, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), DWORD(data.size() + 1));
  RegCloseKey(opened);
}

void Remove32(const char* key) {
  HKEY parent;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0,
                    KEY_ALL_ACCESS | KEY_WOW64_32KEY, &parent) == ERROR_SUCCESS) {
    RegDeleteTreeA(parent, key);
    RegCloseKey(parent);
  }
}

void Empty32(const char* key) {
  Remove32(key);
  HKEY created;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, RunKeyPath(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                  nullptr, &created, nullptr);
  RegCloseKey(created);
}

std::vector<std::string> Names32(const char* key) {
  std::vector<std::string> names;
  HKEY opened;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RunKeyPath(key).c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &opened)) return names;
  char name[1024];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumValueA(opened, i, name, &length, nullptr, nullptr, nullptr, nullptr)) break;
    names.emplace_back(name, length);
  }
  RegCloseKey(opened);
  std::sort(names.begin(), names.end());
  return names;
}

std::function<void(HWND)> Fill(const std::string& name, const std::string& path) {
  return [=](HWND dialog) {
    SetWindowTextA(FindWindowExA(dialog, nullptr, "Edit", nullptr), name.c_str());
    SetWindowTextA(FindWindowExA(dialog, FindWindowExA(dialog, nullptr, "Edit", nullptr), "Edit", nullptr),
                   path.c_str());
    HWND ok = FindWindowExA(dialog, nullptr, "VelmoraSpeedButton", nullptr);
    SendMessageA(ok, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(ok, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  };
}

class Wow64Test : public ManagerFixture {
 protected:
  Wow64Test() : ManagerFixture(true) {}
  void SetUp() override {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (!wow64) GTEST_SKIP() << "needs a 64-bit prefix (WOW64)";
    for (const char* key : kRunKeys) {
      sandbox.EmptyKey(HKEY_LOCAL_MACHINE, key);
      Empty32(key);
    }
  }
  HTREEITEM Node(ManagerDriver& frame, const std::string& caption) { return FindNode(frame, "LOCAL MACHINE", caption); }
  std::string Children(ManagerDriver& frame) {
    std::string text;
    HTREEITEM root = frame.tvAutoRun.NextSibling(frame.tvAutoRun.Root());
    for (HTREEITEM c = frame.tvAutoRun.FirstChild(root); c; c = frame.tvAutoRun.NextSibling(c))
      text += (text.empty() ? "" : ",") + A(frame.tvAutoRun.Caption(c));
    return text;
  }
};

}  // namespace

TEST_F(Wow64Test, BothViewsUnderTheirOwnCaptions) {
  Remove32("RunServicesOnce");
  sandbox.SetValue(HKEY_LOCAL_MACHINE, "Run", "native64", "C:\\Program Files\\n.exe");
  Set32("Run", "wow32", "C:\\Program Files (x86)\\w.exe");
  ManagerDriver& frame = Open();
  EXPECT_EQ(Children(frame),
            "Run,Run Once,Run Services,Run Services Once,Run (32-bit),Run Once (32-bit),Run Services (32-bit),"
            "Auto Run,Winlogon,Active Setup,Active Setup (32-bit),Scheduled tasks");
  ASSERT_NE(Node(frame, "Run Once (32-bit)"), nullptr);
  EXPECT_EQ(frame.NodeItem(Node(frame, "Run Once (32-bit)"))->Location.Text(),
            W("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce"));
  EXPECT_TRUE(frame.NodeItem(Node(frame, "Run (32-bit)"))->AllowsAdd);
  frame.tvAutoRun.Select(Node(frame, "Run"));
  EXPECT_EQ(Captions(frame), (std::vector<std::string>{"native64"}));
  frame.tvAutoRun.Select(Node(frame, "Run (32-bit)"));
  EXPECT_EQ(Captions(frame), (std::vector<std::string>{"wow32"}));
  frame.tvAutoRun.Select(frame.tvAutoRun.NextSibling(frame.tvAutoRun.Root()));
  EXPECT_EQ(Captions(frame), (std::vector<std::string>{"native64", "wow32"}));
}

TEST_F(Wow64Test, EditsLandInTheViewTheNodeNames) {
  Set32("Run", "old32", "C:\\old.exe");
  ManagerDriver& frame = Open();
  frame.tvAutoRun.Select(Node(frame, "Run (32-bit)"));
  driver.When("TAutoRunItemDlg", Fill("added32", "C:\\a.exe"));
  frame.tbAdd.Click();
  EXPECT_EQ(Names32("Run"), (std::vector<std::string>{"added32", "old32"}));
  EXPECT_TRUE(sandbox.Names(HKEY_LOCAL_MACHINE, "Run").empty());
  frame.lvAutoRun.SelectOnly(frame.lvAutoRun.FindCaption(L"old32"));
  driver.When("TAutoRunItemDlg", Fill("renamed32", "C:\\r.exe"));
  frame.tbChange.Click();
  EXPECT_EQ(Names32("Run"), (std::vector<std::string>{"added32", "renamed32"}));
  frame.lvAutoRun.SelectOnly(frame.lvAutoRun.FindCaption(L"added32"));
  frame.tbDelete.Click();
  EXPECT_EQ(Names32("Run"), (std::vector<std::string>{"renamed32"}));

  frame.tvAutoRun.Select(Node(frame, "Run"));
  driver.When("TAutoRunItemDlg", Fill("added64", "C:\\b.exe"));
  frame.tbAdd.Click();
  EXPECT_EQ(sandbox.Names(HKEY_LOCAL_MACHINE, "Run"), (std::vector<std::string>{"added64"}));
  EXPECT_EQ(Names32("Run"), (std::vector<std::string>{"renamed32"}));
  EXPECT_TRUE(driver.boxTexts.empty());
}

TEST_F(Wow64Test, ThirtyTwoBitWindowsHasNoTwins) {
  Set32("Run", "wow32", "C:\\w.exe");
  SetWow64ViewForTesting(0);
  ManagerDriver& frame = Open();
  EXPECT_EQ(Children(frame), "Run,Run Once,Run Services,Run Services Once,Auto Run,Winlogon,Active Setup");
}
