#pragma once
// From an entry to where it lives: Explorer with the program's file
// selected, the registry editor at the entry's key, the shell's properties
// of the program it starts. The system's own
// hands do it; tests give theirs (Wine has no Explorer window to look
// into, and a test must not leave a registry editor open).
#include <functional>
#include <string>

#include <windows.h>

#include "manager/Entry.h"
#include "manager/Location.h"

struct GoToHands {
  // Shows the folder with the file selected; the HRESULT.
  std::function<long(const std::wstring& file)> showInFolder;
  // Starts a program with its arguments; false when it did not start.
  std::function<bool(const std::wstring& program, const std::wstring& arguments)> start;
};
void SetGoToHandsForTesting(const GoToHands* hands);  // null: the system's

// Throws "Failed to open the location of '%s'" (the file).
void ShowFileInFolder(const std::wstring& file);
// The editor opens at the key it remembers last ("LastKey" under its
// Applets key, as it writes it itself), a new window each time.
// Throws "Failed to start the registry editor".
void OpenInRegistryEditor(const Location& key);
// The Task Scheduler's console (taskschd.msc). Throws "Failed to start
// the Task Scheduler".
void OpenTaskScheduler();
// What the editor is told to open: its own form of a key's path.
std::wstring RegistryEditorKeyText(const Location& key);
// The shell's properties of the program a row starts (a Startup row's own
// file), owned by `owner`. The program is looked up again, as the row was:
// the row keeps only what its columns show. Throws "The program of '%s'
// was not found", "Cannot show the properties of '%s'".
void ShowProgramProperties(HWND owner, const TAutoRunItem& row);
