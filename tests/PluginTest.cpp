#include <gtest/gtest.h>

#include <objbase.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "AutorunSandbox.h"
#include "GuiSupport.h"
#include "host/PlugInCall.h"

namespace {

using LibCallbackFn = uint32_t(__stdcall*)(uint32_t, void*);
using GetPlugInFunctionFn = void*(__stdcall*)(uint32_t);
using PlugInFunction = uint32_t(__stdcall*)(uint32_t, HWND);

uint32_t U32(const std::vector<uint8_t>& record, size_t offset) {
  uint32_t value;
  std::memcpy(&value, &record[offset], 4);
  return value;
}

std::string Text(const std::vector<uint8_t>& record, size_t offset) {
  return reinterpret_cast<const char*>(&record[offset]);
}

class PluginTest : public testing::Test {
 protected:
  HMODULE library = LoadLibraryA(VELPDL_PATH);
  std::vector<uint8_t> libInfo = std::vector<uint8_t>(1000, 0xFF);
  std::vector<uint8_t> info = std::vector<uint8_t>(1800, 0xFF);
  LibCallbackFn callback = nullptr;

  void SetUp() override {
    ASSERT_NE(library, nullptr);
    void* init = reinterpret_cast<void*>(GetProcAddress(library, "InitPlugInLib"));
    ASSERT_NE(init, nullptr);
    ASSERT_TRUE(CallInitPlugInLib(init, libInfo.data()));
    callback = reinterpret_cast<LibCallbackFn>(static_cast<uintptr_t>(U32(libInfo, 812)));
  }
  void TearDown() override { FreeLibrary(library); }
  GetPlugInFunctionFn Getter() {
    callback(1, info.data());
    return reinterpret_cast<GetPlugInFunctionFn>(static_cast<uintptr_t>(U32(info, 1592)));
  }
};

void ExpectUntouched(const std::vector<uint8_t>& record, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) ASSERT_EQ(record[i], 0xFF) << "byte " << i;
}

}  // namespace

TEST_F(PluginTest, LibraryDescriptorByteForByte) {
  EXPECT_EQ(U32(libInfo, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Text(libInfo, 4), "velpdl.pdl");
  ExpectUntouched(libInfo, 15, 268);
  EXPECT_EQ(U32(libInfo, 268), 1u);
  EXPECT_EQ(U32(libInfo, 272), 0u);
  EXPECT_EQ(U32(libInfo, 276), 1u);
  const std::string copyright = Text(libInfo, 280);
  EXPECT_FALSE(copyright.empty());
  EXPECT_LT(copyright.size(), 524u);
  ExpectUntouched(libInfo, 280 + copyright.size() + 1, 804);
  EXPECT_EQ(U32(libInfo, 804), 1u);
  EXPECT_EQ(U32(libInfo, 808), 0x18000u);
  EXPECT_EQ(reinterpret_cast<void*>(static_cast<uintptr_t>(U32(libInfo, 812))),
            reinterpret_cast<void*>(callback));
  EXPECT_EQ(U32(libInfo, 816), 0u);
  EXPECT_EQ(U32(libInfo, 820), 0u);
  ExpectUntouched(libInfo, 824, libInfo.size());
  // A second call writes the same bytes.
  std::vector<uint8_t> again(1000, 0xFF);
  ASSERT_TRUE(CallInitPlugInLib(reinterpret_cast<void*>(GetProcAddress(library, "InitPlugInLib")), again.data()));
  EXPECT_EQ(again, libInfo);
}

TEST_F(PluginTest, PlugInDescriptorByteForByte) {
  EXPECT_EQ(callback(1, info.data()), 3u);
  EXPECT_EQ(U32(info, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Text(info, 4), "Velmora");
  ExpectUntouched(info, 12, 265);
  EXPECT_EQ(Text(info, 265), "Velmora plug-in for Corvana Strandel");
  ExpectUntouched(info, 265 + 37, 528);
  EXPECT_EQ(U32(info, 528), 5u);
  EXPECT_EQ(Text(info, 532), "Velmora");
  ExpectUntouched(info, 540, 793);
  EXPECT_EQ(info[793], 0);
  ExpectUntouched(info, 794, 1576);
  EXPECT_EQ(U32(info, 1576), 1u);
  EXPECT_EQ(U32(info, 1580), 0x10000u);
  ExpectUntouched(info, 1584, 1592);
  EXPECT_NE(U32(info, 1592), 0u);
  ExpectUntouched(info, 1596, info.size());
  std::vector<uint8_t> first = info;
  EXPECT_EQ(callback(1, info.data()), 3u);
  EXPECT_EQ(info, first);
}

TEST_F(PluginTest, OtherCommandsWriteNothing) {
  for (uint32_t command : {2u, 3u, 0xFFFFFFFFu, 0x80000000u}) {
    EXPECT_EQ(callback(command, info.data()), 2u) << command;
    ExpectUntouched(info, 0, info.size());
  }
  EXPECT_EQ(callback(0, info.data()), 0u);
  ExpectUntouched(info, 0, info.size());
}

TEST_F(PluginTest, FunctionTableSlots) {
  GetPlugInFunctionFn getter = Getter();
  for (uint32_t slot : {0u, 3u, 5u, 6u, 10u, 17u, 18u, 100u, 0xFFFFFFFFu}) EXPECT_EQ(getter(slot), nullptr) << slot;
  for (uint32_t slot : {1u, 2u, 4u}) EXPECT_NE(getter(slot), nullptr) << slot;
  EXPECT_NE(getter(1), getter(2));
  EXPECT_NE(getter(2), getter(4));
  // Slot 1 returns at once and shows nothing.
  auto empty = reinterpret_cast<PlugInFunction>(getter(1));
  WindowDriver driver;
  bool shown = false;
  driver.When("#32770", [&](HWND box) {
    shown = true;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  empty(0, nullptr);
  PumpUntilIdle();
  EXPECT_FALSE(shown);
}

TEST_F(PluginTest, AboutBoxUnownedAndOwned) {
  auto about = reinterpret_cast<PlugInFunction>(Getter()(2));
  HWND host = CreateWindowA("STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                            nullptr, nullptr);
  WindowDriver driver;
  driver.AnswerMessageBox();
  driver.AnswerMessageBox();
  about(0, nullptr);
  about(12345, host);
  ASSERT_EQ(driver.boxTexts.size(), 2u);
  EXPECT_EQ(driver.boxCaptions[0], "Corvana Strandel Standart Plug-In");
  const std::string lines = "Velmora plug-in\r\nfor Corvana Strandel\r\n\r\nCorvana Project.\r\n";
  EXPECT_EQ(driver.boxTexts[0], lines + Text(libInfo, 280));
  EXPECT_EQ(driver.boxTexts[1], driver.boxTexts[0]);
  EXPECT_EQ(driver.boxOwners[0], nullptr);
  EXPECT_EQ(driver.boxOwners[1], host);
  DestroyWindow(host);
}

TEST_F(PluginTest, ExecuteOpensTheManagerOwnedByWnd) {
  AutorunSandbox sandbox;
  auto execute = reinterpret_cast<PlugInFunction>(Getter()(4));
  HWND host = CreateWindowA("STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                            nullptr, nullptr);
  HWND owner = nullptr;
  WindowDriver driver;
  driver.When("TVelmoraWin", [&](HWND window) {
    owner = GetWindow(window, GW_OWNER);
    PostMessageA(window, WM_CLOSE, 0, 0);
  });
  execute(0, host);
  EXPECT_EQ(owner, host);
  DestroyWindow(host);
}

// A host whose thread is in the multithreaded apartment keeps it through
// loading the library, a run of the manager and unloading.
TEST(PluginApartment, HostThreadInTheMultithreadedApartmentKeepsIt) {
  AutorunSandbox sandbox;
  HRESULT afterRun = E_FAIL, afterUnload = E_FAIL;
  bool opened = false;
  std::thread host([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HMODULE library = LoadLibraryA(VELPDL_PATH);
    std::vector<uint8_t> libInfo(1000, 0), info(1800, 0);
    CallInitPlugInLib(reinterpret_cast<void*>(GetProcAddress(library, "InitPlugInLib")), libInfo.data());
    auto callback = reinterpret_cast<LibCallbackFn>(static_cast<uintptr_t>(U32(libInfo, 812)));
    callback(1, info.data());
    auto getter = reinterpret_cast<GetPlugInFunctionFn>(static_cast<uintptr_t>(U32(info, 1592)));
    auto execute = reinterpret_cast<PlugInFunction>(getter(4));
    {
      WindowDriver driver;
      driver.When("TVelmoraWin", [&](HWND window) {
        opened = true;
        PostMessageA(window, WM_CLOSE, 0, 0);
      });
      execute(0, nullptr);
    }
    afterRun = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoUninitialize();
    FreeLibrary(library);
    afterUnload = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoUninitialize();
    CoUninitialize();
  });
  host.join();
  EXPECT_TRUE(opened);
  EXPECT_EQ(afterRun, S_FALSE);  // still initialised, in the same apartment
  EXPECT_EQ(afterUnload, S_FALSE);
}

namespace {
int ThreadsOfThisProcess() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 thread{};
  thread.dwSize = sizeof thread;
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread))
    count += thread.th32OwnerProcessID == GetCurrentProcessId();
  CloseHandle(snapshot);
  return count;
}
}  // namespace

// The manager closes while another program writes to the key it watches;
// once the run has returned and the library is unloaded, no thread or
// wait of ours is left.
TEST(PluginThreads, NoneIsLeftAfterARunWhileChangesArrive) {
  AutorunSandbox sandbox;
  const int before = ThreadsOfThisProcess();
  HMODULE library = LoadLibraryA(VELPDL_PATH);
  ASSERT_NE(library, nullptr);
  std::vector<uint8_t> libInfo(1000, 0), info(1800, 0);
  CallInitPlugInLib(reinterpret_cast<void*>(GetProcAddress(library, "InitPlugInLib")), libInfo.data());
  reinterpret_cast<LibCallbackFn>(static_cast<uintptr_t>(U32(libInfo, 812)))(1, info.data());
  auto getter = reinterpret_cast<GetPlugInFunctionFn>(static_cast<uintptr_t>(U32(info, 1592)));
  std::thread writer;
  {
    WindowDriver driver;
    driver.When("TVelmoraWin", [&](HWND window) {
      writer = std::thread([] {
        for (int i = 0; i < 300; ++i)
          SetValueAt(HKEY_CURRENT_USER, RunKeyPath("Run"), L"Arriving " + std::to_wstring(i), REG_SZ,
                     Utf16(L"C:\\arriving.exe"));
      });
      Sleep(50);
      PostMessageA(window, WM_CLOSE, 0, 0);
    });
    reinterpret_cast<PlugInFunction>(getter(4))(0, nullptr);
  }
  writer.join();
  FreeLibrary(library);
  EXPECT_EQ(ThreadsOfThisProcess(), before);
}
