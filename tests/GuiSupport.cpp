#include "GuiSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>

#include "TestSupport.h"

namespace {

WindowDriver* activeDriver = nullptr;

struct Search {
  const std::string* className;
  HWND found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  char name[128];
  GetClassNameA(window, name, sizeof name);
  if (IsWindowVisible(window) && *search->className == name) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

WindowDriver::WindowDriver() {
  activeDriver = this;
  stepStart_ = GetTickCount();
  timer_ = SetTimer(nullptr, 0, 20, &WindowDriver::Tick);
}

WindowDriver::~WindowDriver() {
  KillTimer(nullptr, timer_);
  activeDriver = nullptr;
}

void WindowDriver::When(const std::string& className, std::function<void(HWND)> action, std::string step) {
  if (steps_.empty()) stepStart_ = GetTickCount();
  steps_.push_back({className, std::move(action), step.empty() ? "a window of class " + className : step});
}

void WindowDriver::AnswerMessageBox(int button) {
  When("#32770", [this, button](HWND box) {
    boxCaptions.push_back(WindowText(box));
    // The message text is the static control with id 0xFFFF.
    boxTexts.push_back(WindowText(GetDlgItem(box, 0xFFFF)));
    boxTextsW.push_back(WindowTextW(GetDlgItem(box, 0xFFFF)));
    boxOwners.push_back(GetWindow(box, GW_OWNER));
    PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
  }, "a message box");
}

namespace {
BOOL CALLBACK CloseWaiting(HWND window, LPARAM) {
  if (IsWindowVisible(window) && IsWindowEnabled(window)) PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}
}  // namespace

void WindowDriver::GiveUp() {
  ADD_FAILURE() << "step \"" << steps_.front().name << "\" did not happen within " << kStepDeadlineMs / 1000
                << " s";
  steps_.clear();
  // The modal loop that waits for the step ends when its window closes.
  EnumThreadWindows(GetCurrentThreadId(), &CloseWaiting, 0);
}

void CALLBACK WindowDriver::Tick(HWND, UINT, UINT_PTR, DWORD) {
  WindowDriver* driver = activeDriver;
  if (!driver) return;
  if (driver->steps_.empty()) {
    // A message box no step waits for would wait for ever.
    const std::string box = "#32770";
    Search search{&box, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &FindVisible, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
      driver->stepStart_ = GetTickCount();
    } else if (driver->answerAnyBox) {
      if (search.found == driver->answered_) return;
      driver->answered_ = search.found;
      driver->boxTexts.push_back(WindowText(GetDlgItem(search.found, 0xFFFF)));
      driver->boxTextsW.push_back(WindowTextW(GetDlgItem(search.found, 0xFFFF)));
      PostMessageA(search.found, WM_COMMAND, IDOK, 0);
    } else if (GetTickCount() - driver->stepStart_ > kStepDeadlineMs) {
      ADD_FAILURE() << "a message box no step expected: \"" << WindowText(GetDlgItem(search.found, 0xFFFF)) << "\"";
      PostMessageA(search.found, WM_COMMAND, IDOK, 0);
    }
    return;
  }
  Search search{&driver->steps_.front().className, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), &FindVisible, reinterpret_cast<LPARAM>(&search));
  if (!search.found) {
    if (GetTickCount() - driver->stepStart_ > kStepDeadlineMs) driver->GiveUp();
    return;
  }
  Step step = std::move(driver->steps_.front());
  driver->steps_.erase(driver->steps_.begin());
  driver->stepStart_ = GetTickCount();
  step.action(search.found);
}

void PumpUntilIdle() {
  const DWORD start = GetTickCount();
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
    if (GetTickCount() - start > kStepDeadlineMs) {
      ADD_FAILURE() << "the message queue did not become idle within " << kStepDeadlineMs / 1000 << " s";
      return;
    }
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD deadlineMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (done()) return true;
    const DWORD spent = GetTickCount() - start;
    if (spent >= deadlineMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(deadlineMs - spent, 50), QS_ALLINPUT);
  }
}

std::wstring BuiltProgram(const wchar_t* folder, const wchar_t* name) {
  wchar_t self[MAX_PATH] = {}, full[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring relative = std::wstring(self).substr(0, std::wstring(self).find_last_of(L'\\')) +
                                L"\\..\\programs\\" + folder + L"\\" + name;
  GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
  return full;
}

std::wstring WindowTextW(HWND window) {
  wchar_t text[4096] = L"";
  GetWindowTextW(window, text, 4096);
  return text;
}

std::string WindowText(HWND window) {
  char text[4096] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

void SaveWindowPicture(HWND window, const std::string& fileName) {
  RECT rect;
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  const DWORD rowSize = (width * 3 + 3) & ~3u, imageSize = rowSize * height;
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof header + sizeof info.bmiHeader;
  header.bfSize = header.bfOffBits + imageSize;
  if (FILE* out = std::fopen(ArtifactPath(fileName).c_str(), "wb")) {
    std::fwrite(&header, sizeof header, 1, out);
    std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
    std::fwrite(bits, imageSize, 1, out);
    std::fclose(out);
  }
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

long long PrivateBytes() {
  long long total = 0;
  MEMORY_BASIC_INFORMATION region;
  for (char* address = nullptr; VirtualQuery(address, &region, sizeof region) == sizeof region;) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    char* next = static_cast<char*>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return total;
}

namespace {
BOOL CALLBACK CountOne(HWND, LPARAM counter) {
  ++*reinterpret_cast<int*>(counter);
  return TRUE;
}
BOOL CALLBACK CountWithChildren(HWND window, LPARAM counter) {
  CountOne(window, counter);
  EnumChildWindows(window, &CountOne, counter);
  return TRUE;
}
}  // namespace

int ThreadWindowCount() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), &CountWithChildren, reinterpret_cast<LPARAM>(&count));
  return count;
}

std::wstring ClipboardText() {
  if (!OpenClipboard(nullptr)) return std::wstring();
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const auto* text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
  std::wstring copied = text ? text : L"";
  if (text) GlobalUnlock(data);
  CloseClipboard();
  return copied;
}
