#include "manager/Location.h"

#include <algorithm>

namespace {

const wchar_t kMachine[] = L"HKEY_LOCAL_MACHINE";
const wchar_t kUser[] = L"HKEY_CURRENT_USER";
const wchar_t kTaskScheduler[] = L"Task Scheduler";
const wchar_t kWow64Software[] = L"software\\wow6432node\\";

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool SameAscii(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t at = 0; at < a.size(); ++at)
    if (AsciiUpper(a[at]) != AsciiUpper(b[at])) return false;
  return true;
}

bool StartsAscii(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() && SameAscii(text.substr(0, prefix.size()), prefix);
}

std::wstring Trimmed(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return std::wstring();
  return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

KeyView ViewOf(const std::wstring& path) { return StartsAscii(path, kWow64Software) ? KeyView::Wow64 : KeyView::Native; }

}  // namespace

bool PlaceRules::Changes(const std::wstring& name) const {
  return change && !(defaultsOnlyPutBack && HasWindowsDefault(name));
}

bool PlaceRules::Removes(const std::wstring& name) const {
  return remove && !(defaultsOnlyPutBack && HasWindowsDefault(name));
}

const PlaceRules& PlaceRules::Plain() {
  static const PlaceRules plain;
  return plain;
}

Location Location::Key(RegistryRoot root, std::wstring path, LocationKind kind, const PlaceRules* rules) {
  Location location;
  location.kind = kind;
  location.root = root;
  location.view = ViewOf(path);
  location.path = std::move(path);
  location.rules = rules;
  return location;
}

Location Location::Folder(std::wstring folder) {
  Location location;
  location.kind = LocationKind::Folder;
  location.path = std::move(folder);
  return location;
}

Location Location::Tasks(const PlaceRules* rules) {
  Location location;
  location.kind = LocationKind::Tasks;
  location.root = RegistryRoot::LocalMachine;
  location.rules = rules;
  return location;
}

Location Location::Parse(const std::wstring& text) {
  if (text.empty()) return Location();
  if (text == kTaskScheduler) return Tasks();
  if (text.size() >= 2 && (text[1] == L':' || (text[0] == L'\\' && text[1] == L'\\'))) return Folder(text);
  const size_t slash = text.find(L'\\');
  const RegistryRoot root = text.compare(0, slash, kMachine) == 0 ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
  return Key(root, slash == std::wstring::npos ? std::wstring() : text.substr(slash + 1));
}

std::wstring Location::Text() const {
  if (IsTasks()) return kTaskScheduler;
  if (kind == LocationKind::Folder || Empty()) return path;
  return std::wstring(root == RegistryRoot::LocalMachine ? kMachine : kUser) + L'\\' + path;
}

Location Location::Subkey(const std::wstring& name) const {
  std::wstring sub = path;
  if (!sub.empty() && sub.back() != L'\\') sub += L'\\';
  return Key(root, sub + name);
}

Location Location::Parent() const {
  const size_t cut = path.find_last_of(L'\\');
  if (!IsKey() || cut == std::wstring::npos) return Location();
  return Key(root, path.substr(0, cut));
}

bool operator==(const Location& a, const Location& b) {
  if (a.IsFolder() != b.IsFolder() || a.IsTasks() != b.IsTasks() || a.Empty() != b.Empty()) return false;
  return (a.IsFolder() || a.root == b.root) && a.path == b.path;
}

std::vector<std::wstring> ProgramsOfText(const std::wstring& text, ProgramText form) {
  if (form == ProgramText::RunOnceEx) {
    // "||command line" runs the command; "DllFile|Function|Arguments"
    // loads the library; anything else is a command line.
    const size_t bar = text.find(L'|');
    const std::wstring program =
        text.compare(0, 2, L"||") == 0 ? text.substr(2) : bar == std::wstring::npos ? text : text.substr(0, bar);
    return Trimmed(program).empty() ? std::vector<std::wstring>() : std::vector<std::wstring>{program};
  }
  if (form == ProgramText::CommandLine) return Trimmed(text).empty() ? std::vector<std::wstring>() : std::vector<std::wstring>{text};
  const std::wstring separators = form == ProgramText::Commas ? L"," : L", \t";  // EachLibrary as CommasOrSpaces
  std::vector<std::wstring> programs;
  size_t at = 0;
  while (at <= text.size()) {
    const size_t end = std::min(text.find_first_of(separators, at), text.size());
    const std::wstring part = Trimmed(text.substr(at, end - at));
    if (!part.empty()) programs.push_back(part);
    at = end + 1;
  }
  return programs;
}

std::wstring WindowsDefaultOf(const std::wstring& name, const std::wstring& systemFolder) {
  if (SameAscii(name, L"Shell")) return L"explorer.exe";
  if (SameAscii(name, L"Userinit")) {
    std::wstring folder = systemFolder;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder + L"userinit.exe,";
  }
  return std::wstring();
}

bool IsWindowsDefault(const std::wstring& name, const std::wstring& expanded, const std::wstring& systemFolder) {
  const std::wstring wanted = WindowsDefaultOf(name, systemFolder);
  if (wanted.empty()) return false;
  const std::wstring text = Trimmed(expanded);
  if (SameAscii(text, wanted)) return true;
  // Userinit without its closing comma.
  return wanted.back() == L',' && SameAscii(text, wanted.substr(0, wanted.size() - 1));
}

bool HasWindowsDefault(const std::wstring& name) { return !WindowsDefaultOf(name, std::wstring()).empty(); }
