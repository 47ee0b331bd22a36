#include "manager/GoTo.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Registry.h"
#include "common/ShellLink.h"
#include "common/ShellProperties.h"
#include "manager/ProgramLookup.h"

namespace {

const GoToHands* testHands = nullptr;

long ShowWithTheShell(const std::wstring& file) {
  PIDLIST_ABSOLUTE item = ILCreateFromPathW(file.c_str());
  if (!item) return E_INVALIDARG;
  const HRESULT shown = SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
  ILFree(item);
  return shown;
}

bool StartWithTheShell(const std::wstring& program, const std::wstring& arguments) {
  return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", program.c_str(), arguments.c_str(), nullptr,
                                                 SW_SHOWNORMAL)) > 32;
}

}  // namespace

void SetGoToHandsForTesting(const GoToHands* hands) { testHands = hands; }

// The program was found with the redirector off: a 32-bit process reaches
// the native System32 as Sysnative (the shell loads libraries, so the
// redirector stays on). A shell that does not know Sysnative gets the
// path as found.
void ShowFileInFolder(const std::wstring& file) {
  const auto show = [](const std::wstring& path) {
    return testHands ? testHands->showInFolder(path) : ShowWithTheShell(path);
  };
  const std::wstring reached = NativeSystemPathHere(file);
  long shown = show(reached);
  if (FAILED(shown) && reached != file) shown = show(file);
  if (FAILED(shown)) throw EOleError(FormatMessageText("Failed to open the location of '%s'", file), shown);
}

std::wstring RegistryEditorKeyText(const Location& key) { return L"Computer\\" + key.Text(); }

void OpenInRegistryEditor(const Location& key) {
  RegistryKey applet;
  if (applet.Open(HKEY_CURRENT_USER, std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit"),
                  KeyAccess::Create, RegistryView::Native) == ERROR_SUCCESS)
    applet.WriteString(std::wstring(L"LastKey"), RegistryEditorKeyText(key));
  // "-m": a window of its own even when the editor is open already (an
  // open one would not look at LastKey again).
  const bool started = testHands ? testHands->start(L"regedit.exe", L"-m") : StartWithTheShell(L"regedit.exe", L"-m");
  if (!started) throw EVelmoraError("Failed to start the registry editor", ERROR_FILE_NOT_FOUND);
}

// A 32-bit process reaches the native System32 as Sysnative (the shell
// loads libraries, so the redirector stays on).
void ShowProgramProperties(HWND owner, const TAutoRunItem& row) {
  std::wstring program;
  if (row.Kind == EntryKind::File) {
    program = row.FilePath();
  } else {
    const NoCriticalErrorBoxes noBoxes;
    const ProgramLookup lookup;
    const FileSystemRedirectionOff redirectionOff;
    lookup.OfCommand(row.Command, &program);
  }
  if (program.empty()) throw EVelmoraError(FormatMessageText("The program of '%s' was not found", ShownTitle(row)));
  const std::wstring reached = NativeSystemPathHere(program);
  HRESULT shown = ShowShellProperties(owner, reached);
  // The shell's namespace may not know Sysnative (Wine's does not): then
  // the sheet is of the 32-bit system folder's file of that name.
  if (FAILED(shown) && reached != program) shown = ShowShellProperties(owner, program);
  if (FAILED(shown) && shown != HRESULT_FROM_WIN32(ERROR_CANCELLED))
    throw EVelmoraError(FormatMessageText("Cannot show the properties of '%s'", program), shown);
}

void OpenTaskScheduler() {
  const bool started = testHands ? testHands->start(L"taskschd.msc", L"") : StartWithTheShell(L"taskschd.msc", L"");
  if (!started) throw EVelmoraError("Failed to start the Task Scheduler", ERROR_FILE_NOT_FOUND);
}
