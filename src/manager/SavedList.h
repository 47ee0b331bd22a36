#pragma once
// A list "Save list..." wrote, read back to compare the entries of now
// with: its reader (both formats: the first, whose names stand as
// written, and "velmora-list 2"), what a row of now is against its saved
// entry, and the paths of a user's profile and of the program folders
// spelled as variables, so that a list saved on another machine of the
// same kind compares. No window, no code page: names are folded by the
// caller's function, the one the registry and the file system compare by.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

using FoldName = std::wstring (*)(const std::wstring&);

struct SavedEntry {
  std::wstring location;  // the place's stored form
  std::wstring name;      // exact
  std::wstring command;   // as the Path column showed it
  std::wstring state;     // "on", "off", "skipped", "not loaded"
  std::wstring program;   // the program file found; empty in the first format
  std::wstring sha256;    // lowercase hex; empty when it could not be read
  size_t line = 0;
};

struct SavedList {
  std::vector<SavedEntry> entries;
  // One message per line left out, "Line <n> of '<file>' is left out: <why>".
  std::vector<std::wstring> problems;
};

// The longest field taken: a command line and a value name fit well within.
constexpr size_t kLongestSavedField = 65536;

// `knownPlace` says whether a stored form names a place this manager
// lists; a row of another is left out. Of two rows of one entry (its
// place and its name as `fold` spells it), the first is taken.
SavedList ReadSavedList(const std::string& bytes, const std::wstring& fileName,
                        const std::function<bool(const std::wstring& location)>& knownPlace, FoldName fold);

// What a row of now is against the list.
enum class ComparedMark : unsigned char { None, New, CommandChanged, ProgramChanged, SwitchedOn, SwitchedOff, Gone };

// A row of now as the comparison sees it: `sha256` empty while its hash
// is not known (no "Program changed" before it is).
struct EntryNow {
  std::wstring command, state, program, sha256;
  bool hasSwitch = false;
};

// A folder of this machine and the variable that names it ("%APPDATA%").
struct FolderName {
  std::wstring folder, variable;
  std::wstring folded;  // the folder as `fold` spells it, when known ahead
};

// `text` with every folder of `folders` (longest first) and every path
// under any user's profile ("X:\Users\<name>\AppData\Roaming", ...) or
// under "X:\Program Files" spelled by its variable, as both sides of a
// comparison are; the rest of the text as it was.
std::wstring NeutralPaths(const std::wstring& text, const std::vector<FolderName>& folders, FoldName fold);

// Command changed (the text, or the program it starts, differs), else
// Program changed (the same program file, another SHA-256, both known),
// else the switch turned.
ComparedMark MarkAgainst(const SavedEntry& saved, const EntryNow& now, const std::vector<FolderName>& folders,
                         FoldName fold);
// The same with the saved side's paths made neutral ahead (its program
// also folded): a list is compared with again at every paint.
struct NeutralEntry {
  std::wstring command, program;
};
NeutralEntry NeutralOf(const SavedEntry& saved, const std::vector<FolderName>& folders, FoldName fold);
ComparedMark MarkAgainst(const SavedEntry& saved, const NeutralEntry& neutral, const EntryNow& now,
                         const std::vector<FolderName>& folders, FoldName fold);
