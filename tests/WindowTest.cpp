#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <commctrl.h>
#include <functional>

#include "AutorunSandbox.h"
#include "common/FileTools.h"
#include "ManagerDriver.h"
#include "manager/RecordStore.h"
#include "manager/aritemdlg.h"
#include "ui/Dpi.h"
#include "GuiSupport.h"
#include "manager/velwin.h"
#include "ui/Application.h"

namespace {

struct RunObservation {
  HWND applicationHandle = reinterpret_cast<HWND>(-1);
  HWND owner = reinterpret_cast<HWND>(-1);
  bool ownerEnabled = true;
};

class OwnerWindow {
 public:
  OwnerWindow() {
    handle = CreateWindowA("STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, nullptr, nullptr,
                           nullptr, nullptr);
  }
  ~OwnerWindow() { DestroyWindow(handle); }
  HWND handle;
};

}  // namespace

TEST(ManagerWindow, UnownedRunWithWndZeroRestoresTheApplicationHandle) {
  AutorunSandbox sandbox;
  const HWND before = reinterpret_cast<HWND>(0x1234);
  ui::TheApplication->SetHandle(before);
  RunObservation seen;
  WindowDriver driver;
  driver.When("TVelmoraWin", [&](HWND window) {
    seen.applicationHandle = ui::TheApplication->Handle();
    seen.owner = GetWindow(window, GW_OWNER);
    PostMessageA(window, WM_CLOSE, 0, 0);
  });
  ShowManagerWindow(nullptr);
  EXPECT_EQ(seen.applicationHandle, nullptr);
  EXPECT_EQ(seen.owner, nullptr);
  EXPECT_EQ(ui::TheApplication->Handle(), before);
  EXPECT_EQ(FindWindowA("TVelmoraWin", nullptr), nullptr);  // freed
  ui::TheApplication->SetHandle(nullptr);
}

TEST(ManagerWindow, OwnedByTheHostWindowWhichIsDisabledMeanwhile) {
  AutorunSandbox sandbox;
  OwnerWindow host;
  RunObservation seen;
  WindowDriver driver;
  driver.When("TVelmoraWin", [&](HWND window) {
    seen.applicationHandle = ui::TheApplication->Handle();
    seen.owner = GetWindow(window, GW_OWNER);
    seen.ownerEnabled = IsWindowEnabled(host.handle) != FALSE;
    SaveWindowPicture(window, "manager-owned.bmp");
    PostMessageA(window, WM_CLOSE, 0, 0);
  });
  ShowManagerWindow(host.handle);
  EXPECT_EQ(seen.applicationHandle, host.handle);
  EXPECT_EQ(seen.owner, host.handle);
  EXPECT_FALSE(seen.ownerEnabled);
  EXPECT_TRUE(IsWindowEnabled(host.handle));
  EXPECT_EQ(ui::TheApplication->Handle(), nullptr);
}

TEST(ManagerWindow, EveryWayOfClosingEndsWithResultOk) {
  AutorunSandbox sandbox;
  const std::vector<std::function<void(HWND)>> closers = {
      [](HWND w) { PostMessageA(w, WM_CLOSE, 0, 0); },
      [](HWND w) { PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); },
      [](HWND w) {
        SetForegroundWindow(w);
        PostMessageA(w, WM_SYSKEYDOWN, VK_F4, 1u << 29);  // Alt+F4
      },
  };
  for (size_t i = 0; i < closers.size(); ++i) {
    TVelmoraWin window;
    WindowDriver driver;
    driver.When("TVelmoraWin", closers[i]);
    EXPECT_EQ(window.ShowModal(), ui::ModalResult::Ok) << "way " << i;
    EXPECT_FALSE(IsWindowVisible(window.Handle()));
  }
}

TEST(ManagerWindow, TwoRunsAreIndependentAndSeeFreshData) {
  AutorunSandbox sandbox;
  sandbox.EmptyKey(HKEY_CURRENT_USER, "Run");
  std::vector<int> rows;
  for (int run = 0; run < 2; ++run) {
    if (run == 1) sandbox.SetValue(HKEY_CURRENT_USER, "Run", "added", "C:\\x.exe");
    WindowDriver driver;
    driver.When("TVelmoraWin", [&](HWND window) {
      HWND list = FindWindowExA(FindWindowExA(window, nullptr, "TVelmora", nullptr), nullptr, "SysListView32", nullptr);
      TVelmora* frame = nullptr;
      (void)frame;
      rows.push_back(static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)));
      PostMessageA(window, WM_CLOSE, 0, 0);
    });
    ShowManagerWindow(nullptr);
  }
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1], rows[0] + 1);
}

TEST(ManagerWindow, HundredRunsKeepObjectCountsAndMemoryFlat) {
  AutorunSandbox sandbox;
  sandbox.SetValue(HKEY_CURRENT_USER, "Run", "one", "C:\\one.exe");
  sandbox.UserStartup().Write("two.exe");
  auto openAndClose = [] {
    WindowDriver driver;
    driver.When("TVelmoraWin", [](HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); });
    ShowManagerWindow(nullptr);
  };
  auto privateBytes = [] { return PrivateBytes(); };
  auto threadWindows = [] { return ThreadWindowCount(); };
  for (int i = 0; i < 5; ++i) openAndClose();
  const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  const long long bytesBefore = privateBytes();
  const int windowsBefore = threadWindows();
  for (int i = 0; i < 100; ++i) openAndClose();
  const DWORD gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD userAfter = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  const long long bytesAfter = privateBytes();
  const int windowsAfter = threadWindows();
  std::printf("GDI objects %lu -> %lu, USER objects %lu -> %lu, windows %d -> %d, private bytes %lld -> %lld\n",
              gdiBefore, gdiAfter, userBefore, userAfter, windowsBefore, windowsAfter, bytesBefore, bytesAfter);
  EXPECT_EQ(windowsAfter, windowsBefore);
  EXPECT_LE(gdiAfter, gdiBefore + 2);
  EXPECT_LE(userAfter, userBefore + 2);
  // A leak of one frame's worth per run would add far more than this.
  EXPECT_LT(bytesAfter - bytesBefore, 2 * 1024 * 1024);
}

// The window erases nothing of its own: whatever its size, its frame must
// cover all of its client area, or the uncovered part would show what was
// there before.
TEST(ManagerWindow, TheFrameCoversTheClientAreaAtEverySize) {
  AutorunSandbox sandbox;
  struct Size {
    int width, height;
  };
  const Size sizes[] = {{900, 700}, {220, 140}, {120, 60}, {557, 258}};
  std::vector<std::string> failures;
  WindowDriver driver;
  driver.When("TVelmoraWin", [&](HWND window) {
    const HWND frame = FindWindowExA(window, nullptr, "TVelmora", nullptr);
    const auto check = [&](const std::string& what) {
      RECT client, covered;
      GetClientRect(window, &client);
      MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
      GetWindowRect(frame, &covered);
      if (!EqualRect(&client, &covered)) failures.push_back(what);
    };
    for (const Size& size : sizes) {
      SetWindowPos(window, nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOZORDER);
      PumpUntilIdle();
      check(std::to_string(size.width) + "x" + std::to_string(size.height));
    }
    ShowWindow(window, SW_MAXIMIZE);
    PumpUntilIdle();
    check("maximized");
    ShowWindow(window, SW_RESTORE);
    PumpUntilIdle();
    check("restored");
    PostMessageA(window, WM_CLOSE, 0, 0);
  });
  ShowManagerWindow(nullptr);
  EXPECT_TRUE(failures.empty()) << ::testing::PrintToString(failures);
}

namespace {
// The manager's list: a child of the frame, the window's child.
HWND ListOf(HWND window) { return FindWindowExW(GetWindow(window, GW_CHILD), nullptr, WC_LISTVIEWW, nullptr); }

// What the open window shows of its layout.
struct Seen {
  RECT window{};
  bool maximized = false;
  int firstColumn = 0;
  bool sortMarkOnFirst = false;
  bool onHostsMonitor = false;
};
}  // namespace

// The window's size, place, state, columns and sort come back at the next
// opening; a place off every monitor lands on the host's, and a file that
// cannot be read is passed over without a word.
TEST(ManagerWindow, RemembersItsLayout) {
  AutorunSandbox sandbox;
  OwnerWindow host;
  const auto run = [&](const std::function<void(HWND, HWND)>& change) {
    Seen seen;
    WindowDriver driver;
    driver.When("TVelmoraWin", [&](HWND window) {
      HWND list = ListOf(window);
      HWND header = ListView_GetHeader(list);
      GetWindowRect(window, &seen.window);
      seen.maximized = IsZoomed(window) != FALSE;
      seen.firstColumn = ListView_GetColumnWidth(list, 0);
      HDITEMW item{};
      item.mask = HDI_FORMAT;
      Header_GetItem(header, 0, &item);
      seen.sortMarkOnFirst = (item.fmt & HDF_SORTDOWN) != 0;
      seen.onHostsMonitor = MonitorFromWindow(window, MONITOR_DEFAULTTONULL) ==
                            MonitorFromWindow(host.handle, MONITOR_DEFAULTTONULL);
      if (change) change(window, list);
      PostMessageW(window, WM_CLOSE, 0, 0);
    });
    ShowManagerWindow(host.handle);
    return seen;
  };
  const Seen first = run([](HWND window, HWND list) {
    SetWindowPos(window, nullptr, 30, 20, 700, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    ListView_SetColumnWidth(list, 0, 150);
    ClickHeaderOf(list, 0);  // by name
    ClickHeaderOf(list, 0);  // reversed
  });
  // The first opening: as wide as the columns need (ColumnsTest), wider than
  // the old built-in 549.
  EXPECT_GT(first.window.right - first.window.left, 549);
  EXPECT_EQ(first.firstColumn, 100);

  const Seen second = run([](HWND window, HWND) { ShowWindow(window, SW_MAXIMIZE); });
  EXPECT_EQ(second.window.left, 30);
  EXPECT_EQ(second.window.right - second.window.left, 700);
  EXPECT_EQ(second.window.bottom - second.window.top, 300);
  EXPECT_EQ(second.firstColumn, 150);
  EXPECT_TRUE(second.sortMarkOnFirst);
  EXPECT_TRUE(run(nullptr).maximized);

  WindowLayout away;
  ASSERT_TRUE(ReadLayout(away));
  away.left = -30000;
  away.maximized = false;
  ASSERT_TRUE(KeepLayout(away));
  const Seen moved = run(nullptr);
  EXPECT_TRUE(moved.onHostsMonitor);
  EXPECT_EQ(moved.window.right - moved.window.left, 700);

  const std::string broken = "Velmora window layout 1\r\nwindow=1,2,3\r\n";
  ASSERT_EQ(WriteWholeFile(LayoutPath(), std::vector<std::uint8_t>(broken.begin(), broken.end()), true),
            static_cast<DWORD>(ERROR_SUCCESS));
  const Seen ignored = run(nullptr);
  EXPECT_EQ(ignored.window.right - ignored.window.left, first.window.right - first.window.left);
}

// Every size follows the DPI the system reports: run at 96 DPI it checks
// the sizes as they have always been, and the test command runs it again
// with the prefix set to 144 DPI (scripts/dpi_check.sh).
TEST(ManagerWindow, SizesFollowTheDpi) {
  AutorunSandbox sandbox;
  const UINT dpi = ui::DpiOf(nullptr);
  std::printf("DPI %u\n", dpi);
  const auto scaled = [dpi](int pixels) { return ui::Scaled(pixels, dpi); };
  const auto size = [](HWND window) {
    RECT bounds{};
    GetWindowRect(window, &bounds);
    return SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
  };
  const auto fontHeight = [](HFONT font) {
    LOGFONTW described{};
    GetObjectW(font, sizeof described, &described);
    return static_cast<int>(described.lfHeight);
  };
  TVelmoraWin window;
  ManagerDriver frame(*window.Velmora);
  int pictureWidth = 0, pictureHeight = 0;
  ImageList_GetIconSize(frame.Pictures(), &pictureWidth, &pictureHeight);
  TAutoRunItemDlg dialog;
  const RECT dialogClient = dialog.ClientRect();
  // As tall as the tree needs: more than the built-in height.
  EXPECT_GT(size(window.Handle()).cy, scaled(231));
  const std::pair<int, int> sizes[] = {
      {size(frame.tbrCommands.Handle()).cy, scaled(24)},
      {size(frame.StatusBar.Handle()).cy, scaled(19)},
      {size(frame.tvAutoRun.Handle()).cx, scaled(161)},
      {frame.lvAutoRun.ColumnWidth(0), scaled(100)},
      {frame.lvAutoRun.ColumnWidth(3), scaled(160)},
      {pictureWidth, ui::PictureSize(dpi)},
      {fontHeight(frame.pnlTop.captionFont), scaled(-11)},
      {dialogClient.right, scaled(280)},
      {dialogClient.bottom, scaled(110)},
      {size(dialog.sbOK.Handle()).cx, scaled(80)},
  };
  for (size_t at = 0; at < std::size(sizes); ++at) EXPECT_EQ(sizes[at].first, sizes[at].second) << "size " << at;
  ShowWindow(window.Handle(), SW_SHOWNOACTIVATE);
  PumpUntilIdle();
  SaveWindowPicture(window.Handle(), "manager-" + std::to_string(dpi) + "dpi.bmp");
  if (dpi == 96) {
    EXPECT_EQ(pictureWidth, 16);
  } else if (dpi == 144) {
    EXPECT_EQ(pictureWidth, 24);
  }
}
