#pragma once
// Whether the program a command line starts exists, decided the way
// Windows reads the line at logon, and "missing" only when no reading of
// it could start anything. The file system is reached through a probe, so
// that the rules stay free of Windows calls.
#include <functional>
#include <string>

enum class ProgramPresence : unsigned char {
  Found,
  Missing,
  Unknown,  // a bare name not found, a relative path, an empty line
};

// What is at a path.
enum class PathKind : unsigned char { None, File, Folder };

struct ProgramProbe {
  // What is at a full path ("C:\..." or "\\server\...").
  std::function<PathKind(const std::wstring&)> kindOf;
  // A name without a folder, looked for where Windows looks for one;
  // `where` gets the file found, when the answer names one.
  std::function<bool(const std::wstring& name, std::wstring& where)> foundByName;
};

// `commandLine` has its environment variables expanded. A quoted program is
// the text in quotes; an unquoted line is read at each space or tab,
// shortest part first, then as a whole. Process creation passes over a
// folder, so a folder is found only as the whole line (a folder entry).
// Each reading is tried as given and with ".exe" added. For rundll32 the
// library its arguments name is the program (as given and with ".dll"
// added). When found, `program` gets the file that was found.
ProgramPresence PresenceOfCommand(const std::wstring& commandLine, const ProgramProbe& probe,
                                  std::wstring* program = nullptr);
// A path as a whole, such as a shortcut's target.
ProgramPresence PresenceOfPath(const std::wstring& path, const ProgramProbe& probe, std::wstring* program = nullptr);

// Replaces every %name% that `lookup` knows by its value; a name it does
// not know stays as written, as ExpandEnvironmentStrings leaves it.
std::wstring ExpandVariables(const std::wstring& text,
                             const std::function<bool(const std::wstring& name, std::wstring& value)>& lookup);
