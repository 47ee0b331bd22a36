#include "manager/ProgramLookup.h"

#include "common/FileTools.h"
#include "common/Names.h"
#include "common/Registry.h"
#include "manager/LocationCatalogue.h"

namespace {

const wchar_t* const kAppPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

std::wstring EnvironmentVariable(const std::wstring& name) {
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD length = GetEnvironmentVariableW(name.c_str(), &value[0], static_cast<DWORD>(value.size()));
    if (length == 0) return std::wstring();
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);
  }
}

std::wstring SystemFolder(UINT (WINAPI* get)(LPWSTR, UINT)) {
  wchar_t buffer[MAX_PATH + 1] = {};
  const UINT length = get(buffer, MAX_PATH);
  return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

NetworkProbe networkProbe = nullptr;

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

void SetNetworkProbe(NetworkProbe probe) { networkProbe = probe; }

std::wstring NativeSystemPathHere(const std::wstring& path) {
  if (!HasWow64RegistryView()) return path;
  const std::wstring system = AppendPathDelimiter(SystemFolder(GetSystemDirectoryW));
  if (path.size() < system.size() || !SameName(path.substr(0, system.size()), system)) return path;
  return AppendPathDelimiter(SystemFolder(GetWindowsDirectoryW)) + L"Sysnative\\" + path.substr(system.size());
}

ProgramLookup::ProgramLookup(bool defersNetworkPaths)
    : wow64_(HasWow64RegistryView()), defersNetworkPaths_(defersNetworkPaths) {
  // The system folder's name; looked at with the redirector off, it is
  // the native one.
  for (const std::wstring& folder : {SystemFolder(GetSystemDirectoryW), SystemFolder(GetWindowsDirectoryW)})
    if (!folder.empty()) searchFolders_.push_back(folder);
  const std::wstring path = EnvironmentVariable(L"PATH");
  for (size_t at = 0; at <= path.size();) {
    size_t end = path.find(L';', at);
    if (end == std::wstring::npos) end = path.size();
    std::wstring folder = path.substr(at, end - at);
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') folder = folder.substr(1, folder.size() - 2);
    if (!folder.empty()) searchFolders_.push_back(Expanded(folder));
    at = end + 1;
  }
  probe_.kindOf = [this](const std::wstring& file) { return KindOf(file); };
  probe_.foundByName = [this](const std::wstring& name, std::wstring& where) { return FoundByName(name, where); };
}

// %ProgramFiles% of a 64-bit Windows is the 64-bit programs' folder, which
// a 32-bit process finds under ProgramW6432.
std::wstring ExpandedAsWindows(const std::wstring& text, bool wow64) {
  return ExpandVariables(text, [wow64](const std::wstring& name, std::wstring& value) {
    if (wow64 && SameName(name, L"ProgramFiles")) value = EnvironmentVariable(L"ProgramW6432");
    if (wow64 && SameName(name, L"CommonProgramFiles")) value = EnvironmentVariable(L"CommonProgramW6432");
    if (value.empty()) value = EnvironmentVariable(name);
    return !value.empty();
  });
}

std::wstring ProgramLookup::Expanded(const std::wstring& text) const { return ExpandedAsWindows(text, wow64_); }

bool ProgramLookup::ReachesNetwork(const std::wstring& path) const {
  if (StartsWith(path, L"\\\\?\\UNC\\")) return true;
  if (StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\")) return false;
  if (StartsWith(path, L"\\\\")) return true;
  if (path.size() < 2 || path[1] != L':') return false;
  const wchar_t letter = static_cast<wchar_t>(towupper(path[0]));
  if (letter < L'A' || letter > L'Z') return false;
  signed char& remote = driveIsRemote_[letter - L'A'];
  if (remote == 0) {
    const wchar_t root[] = {letter, L':', L'\\', L'\0'};
    remote = GetDriveTypeW(root) == DRIVE_REMOTE ? 1 : -1;
  }
  return remote > 0;
}

PathKind ProgramLookup::KindOf(const std::wstring& path) const {
  if (ReachesNetwork(path)) {
    if (defersNetworkPaths_) {
      deferred_ = true;
      return PathKind::None;
    }
    if (networkProbe) return networkProbe(path);
  }
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &data)) return PathKind::None;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Folder;
  // The version of the file found, for the facts kept of it.
  lastFound_ = path;
  lastStamp_ = FileStampFrom(data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime);
  return PathKind::File;
}

bool ProgramLookup::StampOfFound(const std::wstring& path, FileStamp& stamp) const {
  if (path != lastFound_) return false;
  stamp = lastStamp_;
  return true;
}

// An App Paths key names its program in its default value.
bool ProgramLookup::FoundByName(const std::wstring& name, std::wstring& where) const {
  for (const std::wstring& folder : searchFolders_) {
    std::wstring path = AppendPathDelimiter(folder) + name;
    if (KindOf(path) != PathKind::File) continue;
    where = std::move(path);
    return true;
  }
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    RegistryKey key;
    if (key.Open(root, kAppPaths + name, KeyAccess::Read, RegistryView::Native) != ERROR_SUCCESS) continue;
    std::wstring program;
    if (key.ReadString(std::wstring(), program) == ERROR_SUCCESS && !program.empty()) {
      if (program.size() >= 2 && program.front() == L'"' && program.back() == L'"')
        program = program.substr(1, program.size() - 2);
      where = Expanded(program);
    }
    return true;
  }
  return false;
}

ProgramPresence ProgramLookup::OfCommand(const std::wstring& commandLine, std::wstring* program) const {
  deferred_ = false;
  return PresenceOfCommand(Expanded(commandLine), probe_, program);
}

ProgramPresence ProgramLookup::OfText(const std::wstring& text, ProgramText form, std::wstring* program,
                                      std::vector<std::wstring>* every) const {
  const auto note = [every](ProgramPresence presence, const std::wstring& found) {
    if (every && presence != ProgramPresence::Missing)
      every->push_back(presence == ProgramPresence::Found ? found : std::wstring());
  };
  if (form == ProgramText::CommandLine) {
    std::wstring found;
    const ProgramPresence presence = OfCommand(text, &found);
    note(presence, found);
    if (program) *program = found;
    return presence;
  }
  // A list Windows loads whole is missing when any of it is; another
  // starts what it finds.
  const bool each = form == ProgramText::EachLibrary;
  bool deferred = false, unknown = false, anyFound = false, anyMissing = false;
  for (const std::wstring& part : ProgramsOfText(text, form)) {
    std::wstring found;
    const ProgramPresence presence = OfCommand(part, &found);
    deferred = deferred || deferred_;
    note(presence, found);
    if (presence == ProgramPresence::Found) {
      if (program && !anyFound) *program = found;
      anyFound = true;
      if (!every && !each) break;
    }
    anyMissing = anyMissing || presence == ProgramPresence::Missing;
    unknown = unknown || presence == ProgramPresence::Unknown;
  }
  deferred_ = deferred;
  if (each && anyMissing) return ProgramPresence::Missing;
  return anyFound ? ProgramPresence::Found : unknown ? ProgramPresence::Unknown : ProgramPresence::Missing;
}

ProgramPresence ProgramLookup::OfShortcut(bool readable, const std::wstring& target, std::wstring* program) const {
  deferred_ = false;
  if (!readable) return ProgramPresence::Missing;
  return PresenceOfPath(Expanded(target), probe_, program);
}
