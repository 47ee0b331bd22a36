#pragma once
// Shortcut (.lnk) files through the shell's link object.
#include <string>

#include "common/Errors.h"

class EOleError : public EVelmoraError {
 public:
  using EVelmoraError::EVelmoraError;
};

// Writes a shortcut to `target` (with `arguments`, starting in the target's
// folder) into `folder`, named after the target's file name and numbered
// "(1)", "(2)", ... while that name is taken. Throws "Failed to create
// shortcut '%s'" for a target without a file name, one the link refuses,
// or a file that cannot be saved; nothing is left behind then.
// The UTF-16 forms are the operations; the byte-string forms (ANSI code
// page) convert on the way in and out.
void CreateShortcut(const std::wstring& folder, const std::wstring& target, const std::wstring& description,
                    const std::wstring& arguments, std::wstring& linkPath);
void CreateShortcut(const std::string& folder, const std::string& target, const std::string& description,
                    const std::string& arguments, std::string& linkPath);

// The target path of a shortcut, or empty for anything unreadable; false
// when the file could not be read as a shortcut (a target that is no file,
// such as a Control Panel item, reads as true with an empty path).
bool GetShortcutTarget(const std::wstring& linkPath, std::wstring& target);
void GetShortcutTarget(const std::string& linkPath, std::string& target);

// The pure naming steps, exposed for tests.
std::string ShortcutBaseName(const std::string& folder, const std::string& target);
std::wstring ShortcutBaseName(const std::wstring& folder, const std::wstring& target);
std::string NumberedShortcutName(const std::string& baseName, int counter);
std::wstring NumberedShortcutName(const std::wstring& baseName, int counter);
