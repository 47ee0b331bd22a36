#pragma once
// A place Windows starts programs from: its kind (how its entries are
// listed and written), root, registry view and path, and what the user may
// do there. The catalogue builds each once from its table; the text form
// ("HKEY_LOCAL_MACHINE\Software\...", or a folder's path) is only for what
// is stored (records, the last look, the index) and is read back by Parse.
#include <string>
#include <vector>

enum class RegistryRoot : unsigned char { CurrentUser, LocalMachine };
// The 32-bit programs' keys on 64-bit Windows are named by their
// Wow6432Node path in the native view: the view is told by the path.
enum class KeyView : unsigned char { Native, Wow64 };

enum class LocationKind : unsigned char {
  None,          // lists nothing of its own (a root, no place)
  Values,        // every string value of a key is an entry
  ChosenValues,  // only the values the rules name
  SubkeyValue,   // one value (the rules' subkeyValue) of each subkey
  Folder,        // the program files and shortcuts of a folder
  Tasks,         // the scheduled tasks that start at logon or at startup
  Sections,      // RunOnceEx: the values of each section subkey and of the Depend subkeys
};

// How the text of an entry names its programs.
enum class ProgramText : unsigned char {
  CommandLine,      // one command line
  CommasOrSpaces,   // programs separated by commas or spaces (the legacy Load and Run)
  Commas,           // command lines separated by commas (Winlogon's Userinit)
  EachLibrary,      // libraries separated by commas or spaces, each loaded (AppInit_DLLs)
  RunOnceEx,        // "DllFile|Function|Arguments" (the library), "||command line", or a command line
};

// What a place takes. Static: the catalogue's rows point at theirs.
struct PlaceRules {
  bool add = true, change = true, remove = true, rename = true;
  // ChosenValues: the only names listed, added or renamed to (any letter
  // case); empty: any name.
  std::vector<std::wstring> names;
  // SubkeyValue: the value of each subkey that is its entry, and a DWORD
  // value that hides the subkey when it is 0.
  std::wstring subkeyValue, unlessZero;
  ProgramText programs = ProgramText::CommandLine;
  // Windows has a default for each value (Winlogon): one that differs is
  // marked and can be put back.
  bool windowsDefaults = false;
  // A value that has a default of Windows' (the machine's Shell and
  // Userinit) is only put back to it here, never changed or deleted: a
  // wrong one keeps every user from logging on. The place's other names
  // (AppSetup, Taskman) take Change and Delete as the rules say.
  bool defaultsOnlyPutBack = false;
  // A DWORD value of the place's own key: while it is 0 or absent,
  // Windows does not load what the place lists (LoadAppInit_DLLs).
  std::wstring loadedUnlessZero;

  // Whether a value of this name may be changed, or deleted, here.
  bool Changes(const std::wstring& name) const;
  bool Removes(const std::wstring& name) const;
  static const PlaceRules& Plain();
};

struct Location {
  LocationKind kind = LocationKind::None;
  RegistryRoot root = RegistryRoot::CurrentUser;
  KeyView view = KeyView::Native;
  std::wstring path;  // a key's path under its root (no leading backslash), or a folder
  const PlaceRules* rules = &PlaceRules::Plain();

  static Location Key(RegistryRoot root, std::wstring path, LocationKind kind = LocationKind::Values,
                      const PlaceRules* rules = &PlaceRules::Plain());
  static Location Folder(std::wstring folder);
  // The Task Scheduler's tasks: the machine's, stored as "Task Scheduler".
  static Location Tasks(const PlaceRules* rules = &PlaceRules::Plain());
  // The one reader of the stored form: a folder when the second character
  // is ":" or the text begins with two backslashes (a share); empty text is
  // none; anything else a key (Values), under HKEY_LOCAL_MACHINE only for
  // that exact root name; "Task Scheduler" the tasks.
  static Location Parse(const std::wstring& text);
  std::wstring Text() const;

  bool Empty() const { return kind == LocationKind::None && path.empty(); }
  bool IsFolder() const { return kind == LocationKind::Folder; }
  bool IsTasks() const { return kind == LocationKind::Tasks; }
  bool IsKey() const { return kind != LocationKind::Folder && !IsTasks() && !Empty(); }
  // A subkey of this key, its values listed.
  Location Subkey(const std::wstring& name) const;
  // The key above this one, none at the root's top.
  Location Parent() const;
};

// The same place: a folder or a key, its root, the exact path. Kind and
// rules are the catalogue's view of it and do not make another place.
bool operator==(const Location& a, const Location& b);
inline bool operator!=(const Location& a, const Location& b) { return !(a == b); }

// The programs an entry's text names, in order (ProgramText).
std::vector<std::wstring> ProgramsOfText(const std::wstring& text, ProgramText form);

// Windows' own text for a Winlogon value ("Shell", "Userinit"; any letter
// case), empty for another name; whether `expanded` (environment variables
// expanded) is that default: ASCII letters compared ignoring case, spaces
// around it and Userinit's closing comma optional. A name Windows has no
// default for (AppSetup, Taskman) is never its default: present, it is
// something else's.
std::wstring WindowsDefaultOf(const std::wstring& name, const std::wstring& systemFolder);
bool IsWindowsDefault(const std::wstring& name, const std::wstring& expanded, const std::wstring& systemFolder);
bool HasWindowsDefault(const std::wstring& name);
