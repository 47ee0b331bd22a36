#pragma once
#include <windows.h>

#include <string>

namespace ui {

// Puts `text` on the clipboard as Unicode text, owned by `owner`; false
// when the clipboard could not be opened or the text not placed.
bool CopyTextToClipboard(HWND owner, const std::wstring& text);

}  // namespace ui
