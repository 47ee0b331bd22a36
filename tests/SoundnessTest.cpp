// The window and the host stay sound: error boxes modal to the manager,
// every Delete key, a tree rebuilt in part, shortcuts made as the shell
// makes them, and a modal run that ends by an exception.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include "ManagerFixture.h"
#include "manager/aritemdlg.h"

namespace {

HWND NthEdit(HWND dialog, int n) {
  HWND edit = FindWindowExA(dialog, nullptr, "Edit", nullptr);
  return n == 0 ? edit : FindWindowExA(dialog, edit, "Edit", nullptr);
}

std::function<void(HWND)> Fill(const std::string& name, const std::string& path) {
  return [=](HWND dialog) {
    SetWindowTextA(NthEdit(dialog, 0), name.c_str());
    SetWindowTextA(NthEdit(dialog, 1), path.c_str());
    HWND ok = FindWindowExA(dialog, nullptr, "VelmoraSpeedButton", nullptr);
    SendMessageA(ok, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(ok, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  };
}

struct ShortcutFields {
  std::string target, arguments, folder;
};

ShortcutFields ReadShortcut(const std::string& link) {
  ShortcutFields fields;
  IShellLinkA* shell = nullptr;
  IPersistFile* file = nullptr;
  if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&shell) != S_OK)
    return fields;
  shell->QueryInterface(IID_IPersistFile, (void**)&file);
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
  if (file->Load(wide, STGM_READ) == S_OK) {
    char text[1024] = "";
    shell->GetPath(text, sizeof text, nullptr, 0);
    fields.target = text;
    shell->GetArguments(text, sizeof text);
    fields.arguments = text;
    shell->GetWorkingDirectory(text, sizeof text);
    fields.folder = text;
  }
  file->Release();
  shell->Release();
  return fields;
}

class SoundnessTest : public ManagerFixture {
 protected:
  void SetUp() override { EmptyAllKeys(); }
};

}  // namespace

TEST_F(SoundnessTest, ErrorBoxKeepsTheManagerFromStartingACommand) {
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "a", "C:\\a.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "b", "C:\\b.exe");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  SelectRow(frame, "b");
  BOOL managerEnabled = TRUE, listEnabled = TRUE;
  driver.When("TAutoRunItemDlg", Fill("A", "C:\\other.exe"));
  driver.When("#32770", [&](HWND box) {
    managerEnabled = IsWindowEnabled(window->Handle());
    // A click on Delete while the box is up: the real input goes nowhere.
    RECT button{};
    SendMessageA(frame.tbrCommands, TB_GETRECT, static_cast<WPARAM>(frame.tbDelete.Id()),
                 reinterpret_cast<LPARAM>(&button));
    POINT center{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    ClientToScreen(frame.tbrCommands, &center);
    SetCursorPos(center.x, center.y);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    PumpUntilIdle();
    listEnabled = IsWindowEnabled(GetAncestor(frame.lvAutoRun, GA_ROOT));
    driver.boxTexts.push_back(WindowText(GetDlgItem(box, 0xFFFF)));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }, "the collision's error box");
  frame.tbAdd.Click();
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{"Value 'A' already exists."}));
  EXPECT_FALSE(managerEnabled);
  EXPECT_FALSE(listEnabled);
  EXPECT_TRUE(IsWindowEnabled(window->Handle()));
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"a", "b"}));
}

TEST_F(SoundnessTest, DeleteActsAlikeWithEveryShiftKey) {
  const struct {
    BYTE modifier;
    const char* name;
  } keys[] = {{0, "plain"}, {VK_SHIFT, "shift"}, {VK_CONTROL, "ctrl"}, {VK_MENU, "alt"}};
  for (const auto& key : keys) sandbox.SetValue(HKEY_CURRENT_USER, "Run", key.name, "C:\\x.exe");
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "keep", "C:\\keep.exe");
  ManagerDriver& frame = Open("CURRENT USER", "Run");
  SetFocus(frame.lvAutoRun);
  for (const auto& key : keys) {
    SelectRow(frame, key.name);
    BYTE state[256];
    GetKeyboardState(state);
    if (key.modifier) state[key.modifier] = 0x80;
    SetKeyboardState(state);
    // With Alt held Windows sends WM_SYSKEYDOWN, context bit set.
    if (key.modifier == VK_MENU)
      PostMessageA(frame.lvAutoRun, WM_SYSKEYDOWN, VK_DELETE, 1 | (1 << 29));
    else
      PostMessageA(frame.lvAutoRun, WM_KEYDOWN, VK_DELETE, 1);
    PumpUntilIdle();
    if (key.modifier) state[key.modifier] = 0;
    SetKeyboardState(state);
    EXPECT_FALSE(sandbox.HasValue(HKEY_CURRENT_USER, "Run", key.name)) << key.name;
  }
  EXPECT_EQ(sandbox.Names(HKEY_CURRENT_USER, "Run"), (std::vector<std::string>{"keep"}));
  EXPECT_TRUE(driver.boxTexts.empty());
}

TEST_F(SoundnessTest, AfterAFailedRebuildCommandsFollowTheShownSelection) {
  ManagerDriver& frame = Open("LOCAL MACHINE", "Run");
  ASSERT_TRUE(frame.tbAdd.Enabled());
  // The machine's Startup value breaks the next rebuild after its root.
  sandbox.SetStartupValue(HKEY_LOCAL_MACHINE, "\x01\x02", REG_BINARY);
  driver.AnswerMessageBox();
  frame.tbRefresh.Click();
  PumpUntilIdle();
  ASSERT_EQ(driver.boxTexts.size(), 1u);
  EXPECT_EQ(frame.tvAutoRun.Selected(), FindNode(frame, "CURRENT USER"));
  EXPECT_EQ(frame.CurrentLocation(), L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\");
  EXPECT_FALSE(frame.tbAdd.Enabled());
  bool dialogShown = false;
  driver.When("TAutoRunItemDlg", [&](HWND dialog) {
    dialogShown = true;
    Fill("added", "C:\\added.exe")(dialog);
  });
  frame.tbAdd.Click();
  EXPECT_FALSE(dialogShown);
  EXPECT_TRUE(sandbox.Names(HKEY_LOCAL_MACHINE, "Run").empty());
}

TEST_F(SoundnessTest, StartupShortcutsAreMadeAsTheShellMakesThem) {
  TempDir programs;
  const std::string folder = programs.MakeDir("My App");
  const std::string program = folder + "\\app.exe";
  CloseHandle(CreateFileA(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  const TempDir& startup = sandbox.UserStartup();
  ManagerDriver& frame = Open("CURRENT USER", "Auto Run");
  const struct {
    std::string path;
    std::string link, arguments;
  } cases[] = {
      {"\"" + program + "\" /tray", "app.lnk", "/tray"},
      {program + " --min  -q", "app(1).lnk", "--min  -q"},
      {"  " + program + "  ", "app(2).lnk", ""},
  };
  for (const auto& c : cases) {
    driver.When("TAutoRunItemDlg", Fill("ignored", c.path));
    frame.tbAdd.Click();
    const ShortcutFields made = ReadShortcut(startup.File(c.link));
    EXPECT_EQ(made.target, program) << c.path;
    EXPECT_EQ(made.arguments, c.arguments) << c.path;
    EXPECT_EQ(made.folder, folder) << c.path;
  }
  // Nothing to name the shortcut after: reported, and no ".lnk" file.
  driver.When("TAutoRunItemDlg", Fill("", ""));
  driver.AnswerMessageBox();
  frame.tbAdd.Click();
  PumpUntilIdle();
  EXPECT_EQ(driver.boxTexts, (std::vector<std::string>{"Failed to create shortcut '" + startup.File(".lnk") + "'"}));
  EXPECT_EQ(startup.Names(), (std::vector<std::string>{"app(1).lnk", "app(2).lnk", "app.lnk"}));
}

TEST(ModalRun, EndsSoundWhenTheCloseHandlerThrows) {
  HWND bystander = CreateWindowA("STATIC", "bystander", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                 nullptr, nullptr, nullptr);
  {
    TAutoRunItemDlg dialog;
    dialog.OnClose = [](ui::CloseEvent&) { throw std::runtime_error("close failed"); };
    WindowDriver driver;
    driver.When("TAutoRunItemDlg", [](HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); });
    EXPECT_THROW(dialog.ShowModal(), std::runtime_error);
    EXPECT_FALSE(IsWindowVisible(dialog.Handle()));
  }
  EXPECT_TRUE(IsWindowEnabled(bystander));
  DestroyWindow(bystander);
}
