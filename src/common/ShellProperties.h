#pragma once
// The shell's properties sheet of a file, as Explorer's "Properties"
// opens it: through the file's context menu, so that the sheets of shell
// extensions are there too. The caller's thread has OLE initialised.
#include <windows.h>

#include <string>

// The COM result: S_OK once the sheet was asked for.
HRESULT ShowShellProperties(HWND owner, const std::wstring& path);
