#pragma once
// The system's own questions, modal to the top-level window of `owner`.
#include <windows.h>

#include <string>

namespace ui {

// The save dialog; empty when cancelled. `filter` is the dialog's pairs of
// texts, each ended by a NUL; `extension` is added to a name without one.
std::wstring AskWhereToSave(HWND owner, const std::wstring& suggested, const wchar_t* filter, const wchar_t* extension);

// The open dialog, starting in `folder` (empty: the system's choice), which
// it sets to the chosen file's folder; empty when cancelled.
std::wstring AskWhichToOpen(HWND owner, const wchar_t* filter, std::wstring& folder);

// A yes/no question with the question mark; true for Yes.
bool AskYesNo(HWND owner, const std::wstring& question, const wchar_t* caption);

}  // namespace ui
