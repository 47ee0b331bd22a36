#include "manager/GoTo.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "common/Errors.h"
#include "common/Registry.h"
#include "common/ShellLink.h"

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

void ShowFileInFolder(const std::wstring& file) {
  const long shown = testHands ? testHands->showInFolder(file) : ShowWithTheShell(file);
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
