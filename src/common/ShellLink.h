#pragma once
// Shortcut (.lnk) files through the shell's link object.
#include <windows.h>

#include <string>

#include "common/Errors.h"

// What the layers above raise for a failure of the shell's link object;
// this layer returns the HRESULT.
class EOleError : public EVelmoraError {
 public:
  using EVelmoraError::EVelmoraError;
};

// The system's text for an OLE error (UTF-8, no closing period).
std::string SystemErrorText(HRESULT code);

// Writes a shortcut to `target` (with `arguments`, starting in the target's
// folder) into `folder`, named after the target's file name and numbered
// "(1)", "(2)", ... while that name is taken; `linkPath` is the shortcut
// made. A failure's HRESULT comes back with `linkPath` naming the
// shortcut that could not be made (empty when the link object itself
// could not be created): a target without a file name or one the link
// does not keep as given (E_INVALIDARG), a file that cannot be saved.
// Nothing is left behind then. The UTF-16 forms are the operations; the
// byte-string forms (ANSI code page) convert on the way in and out.
HRESULT CreateShortcut(const std::wstring& folder, const std::wstring& target, const std::wstring& description,
                       const std::wstring& arguments, std::wstring& linkPath);
HRESULT CreateShortcut(const std::string& folder, const std::string& target, const std::string& description,
                       const std::string& arguments, std::string& linkPath);

// The target path of a shortcut (S_OK), or empty for anything unreadable
// (S_FALSE: the file could not be read as a shortcut; a target that is no
// file, such as a Control Panel item, reads as S_OK with an empty path);
// a failure when the link object could not be created.
HRESULT GetShortcutTarget(const std::wstring& linkPath, std::wstring& target);
HRESULT GetShortcutTarget(const std::string& linkPath, std::string& target);

// The pure naming steps, exposed for tests.
std::string ShortcutBaseName(const std::string& folder, const std::string& target);
std::wstring ShortcutBaseName(const std::wstring& folder, const std::wstring& target);
std::string NumberedShortcutName(const std::string& baseName, int counter);
std::wstring NumberedShortcutName(const std::wstring& baseName, int counter);
