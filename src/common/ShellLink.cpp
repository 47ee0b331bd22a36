#include "common/ShellLink.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <vector>

#include "common/ComPtr.h"
#include "common/FileTools.h"
#include "common/Names.h"
#include "common/PathText.h"
#include "common/Unicode.h"

namespace {

constexpr int kTargetBufferChars = 1025;

}  // namespace

std::string SystemErrorText(HRESULT code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", length);
  if (buffer) LocalFree(buffer);
  // System texts end in ".\r\n"; the error box adds its own period.
  while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
  if (text.empty()) {
    char fallback[32];
    std::snprintf(fallback, sizeof fallback, "OLE error %.8lx", static_cast<unsigned long>(code));
    return fallback;
  }
  return Utf8FromWide(text);
}

namespace {

// The link object with the two interfaces both operations need; `created`
// says whether it could be made.
struct LinkObject {
  ComPtr<IUnknown> object;
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  HRESULT created;

  LinkObject() {
    // The shell's link object is an in-process server; also offering a
    // local server only makes the lookup slower.
    created = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.ReceiveVoid());
    if (SUCCEEDED(created)) created = object->QueryInterface(IID_IShellLinkW, link.ReceiveVoid());
    if (SUCCEEDED(created)) created = object->QueryInterface(IID_IPersistFile, file.ReceiveVoid());
  }
};

// A directory at the candidate path counts as taken too: saving over it
// would fail.
bool PathIsTaken(const std::wstring& path) {
  return GetFileAttributesW(LongPathForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

template <class Text>
Text BaseName(const Text& folder, const Text& target) {
  // A dot is never a trail byte: only the name part must be found with
  // care for double-byte code pages.
  Text name = FileNamePart(target);
  const auto dot = name.rfind('.');
  if (dot != Text::npos) name.erase(dot);
  const char suffix[] = ".lnk";
  return AppendPathDelimiter(folder) + name + Text(suffix, suffix + 4);
}

template <class Text>
Text Numbered(const Text& baseName, int counter) {
  const size_t nameStart = FolderPart(baseName).size();
  const size_t dot = baseName.find('.', nameStart);
  char number[24];
  std::snprintf(number, sizeof number, "(%d)", counter);
  const std::string digits = number;
  Text candidate = baseName;
  candidate.insert(dot == Text::npos ? candidate.size() : dot, Text(digits.begin(), digits.end()));
  return candidate;
}

// The folder a program starts in, as the shell gives its shortcuts: the
// target's own ("C:\\" for a file in a drive's root).
std::wstring WorkingFolderOf(const std::wstring& target) {
  const std::wstring folder = FolderPart(target);
  if (folder.size() <= 3) return folder;
  return StripPathDelimiter(folder);
}

}  // namespace

std::string ShortcutBaseName(const std::string& folder, const std::string& target) { return BaseName(folder, target); }
std::wstring ShortcutBaseName(const std::wstring& folder, const std::wstring& target) {
  return BaseName(folder, target);
}
std::string NumberedShortcutName(const std::string& baseName, int counter) { return Numbered(baseName, counter); }
std::wstring NumberedShortcutName(const std::wstring& baseName, int counter) { return Numbered(baseName, counter); }

HRESULT CreateShortcut(const std::wstring& folder, const std::wstring& target, const std::wstring& description,
                       const std::wstring& arguments, std::wstring& linkPath) {
  const std::wstring base = ShortcutBaseName(folder, target);
  linkPath = base;
  // No target, no name: a file called ".lnk" would start nothing.
  if (FileNamePart(target).empty()) return E_INVALIDARG;
  LinkObject shortcut;
  if (FAILED(shortcut.created)) {
    linkPath.clear();
    return shortcut.created;
  }
  HRESULT result = S_OK;
  if (FAILED(result = shortcut.link->SetPath(target.c_str())) ||
      FAILED(result = shortcut.link->SetArguments(arguments.c_str())) ||
      FAILED(result = shortcut.link->SetDescription(description.c_str())) ||
      FAILED(result = shortcut.link->SetWorkingDirectory(WorkingFolderOf(target).c_str())))
    return result;
  // The link may accept a path and keep another, or none (a quote in a
  // folder's name): a shortcut that starts something else is no shortcut.
  std::vector<wchar_t> taken(kTargetBufferChars, L'\0');
  if (FAILED(shortcut.link->GetPath(taken.data(), kTargetBufferChars, nullptr, SLGP_RAWPATH)) ||
      !SameName(std::wstring(taken.data()), target))
    return E_INVALIDARG;

  std::wstring candidate = base;
  for (int counter = 1; PathIsTaken(candidate); ++counter)
    candidate = NumberedShortcutName(base, counter);
  linkPath = candidate;
  result = shortcut.file->Save(candidate.c_str(), FALSE);
  if (FAILED(result)) {
    // Nothing half-written is left behind.
    DeleteFileW(LongPathForm(candidate).c_str());
    return result;
  }
  return PathIsTaken(candidate) ? S_OK : E_FAIL;
}

HRESULT CreateShortcut(const std::string& folder, const std::string& target, const std::string& description,
                       const std::string& arguments, std::string& linkPath) {
  std::wstring link;
  const HRESULT result = CreateShortcut(WideFromAnsi(folder), WideFromAnsi(target), WideFromAnsi(description),
                                        WideFromAnsi(arguments), link);
  linkPath = AnsiFromWide(link);
  return result;
}

HRESULT GetShortcutTarget(const std::wstring& linkPath, std::wstring& target) {
  target.clear();
  LinkObject shortcut;
  if (FAILED(shortcut.created)) return shortcut.created;
  if (FAILED(shortcut.file->Load(linkPath.c_str(), STGM_READ))) return S_FALSE;
  std::vector<wchar_t> buffer(kTargetBufferChars, L'\0');
  // No find data is asked for: filling it looks the target up on disk,
  // which costs more than the whole rest of the call.
  shortcut.link->GetPath(buffer.data(), kTargetBufferChars, nullptr, 0);
  buffer.back() = L'\0';
  target = buffer.data();
  return S_OK;
}

HRESULT GetShortcutTarget(const std::string& linkPath, std::string& target) {
  std::wstring wide;
  const HRESULT result = GetShortcutTarget(WideFromAnsi(linkPath), wide);
  target = AnsiFromWide(wide);
  return result;
}
