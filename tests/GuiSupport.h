#pragma once
// Drives real windows from inside a test: steps that run from a timer when
// a window of a given class shows up (so a modal loop can be answered), a
// message box reader, and window pictures for the artifacts. Every step has
// a deadline: a window that never appears fails the test, naming the step,
// and the windows that wait are closed so that the test goes on.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class WindowDriver {
 public:
  WindowDriver();
  ~WindowDriver();
  WindowDriver(const WindowDriver&) = delete;
  WindowDriver& operator=(const WindowDriver&) = delete;

  // Runs `action` once a visible top-level window of `className` exists
  // (the steps run in order, one at a time). `step` names it in a failure.
  void When(const std::string& className, std::function<void(HWND)> action, std::string step = "");
  // Reads the next message box's caption and text, then presses its OK.
  void AnswerMessageBox(int button = IDOK);
  bool Done() const { return steps_.empty(); }

  // Answers every message box no step waits for at once, keeping its text
  // (a run whose boxes cannot be foretold), instead of failing.
  bool answerAnyBox = false;
  std::vector<std::string> boxTexts, boxCaptions;
  std::vector<std::wstring> boxTextsW;  // as the box shows them
  std::vector<HWND> boxOwners;

 private:
  struct Step {
    std::string className;
    std::function<void(HWND)> action;
    std::string name;
  };
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  void GiveUp();
  std::vector<Step> steps_;
  DWORD stepStart_ = 0;  // when the first step became the next one
  UINT_PTR timer_ = 0;
  HWND answered_ = nullptr;  // the box answered last, until it closes
};

// How long a step may take before the test fails.
constexpr DWORD kStepDeadlineMs = 30000;
// Processes this thread's messages until none is waiting (painting
// included), within the step deadline.
void PumpUntilIdle();
// Processes this thread's messages as they come (waiting for them, as a
// modal loop does) until `done` answers true; false when the deadline
// passed first.
bool PumpUntil(const std::function<bool()>& done, DWORD deadlineMs = kStepDeadlineMs);
// Saves what a window shows as a BMP file under the artifacts folder.
void SaveWindowPicture(HWND window, const std::string& fileName);
std::string WindowText(HWND window);
// The clipboard's Unicode text; empty when it holds none.
std::wstring ClipboardText();
std::wstring WindowTextW(HWND window);
// A file the build made beside the tests, in build/win32/programs/<folder>.
std::wstring BuiltProgram(const wchar_t* folder, const wchar_t* name);
// Committed private memory of the process (Wine reports no private usage
// of its own) and the windows of this thread with their children (Wine's
// GetGuiResources answers 0).
long long PrivateBytes();
int ThreadWindowCount();
