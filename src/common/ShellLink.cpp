#include "common/ShellLink.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <vector>

#include "common/ComPtr.h"
#include "common/PathText.h"

namespace {

constexpr int kTargetBufferChars = 1025;

std::wstring Widen(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(length > 0 ? length : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
  wide.resize(wide.size() - 1);
  return wide;
}

std::string SystemErrorText(HRESULT code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text(buffer ? buffer : "", length);
  if (buffer) LocalFree(buffer);
  // System texts end in ".\r\n"; the error box adds its own period.
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.')) text.pop_back();
  if (text.empty()) {
    char fallback[32];
    std::snprintf(fallback, sizeof fallback, "OLE error %.8lx", static_cast<unsigned long>(code));
    text = fallback;
  }
  return text;
}

// The link object with the two interfaces both operations need.
struct LinkObject {
  ComPtr<IUnknown> object;
  ComPtr<IShellLinkA> link;
  ComPtr<IPersistFile> file;

  LinkObject() {
    // The shell's link object is an in-process server; also offering a
    // local server only makes the lookup slower.
    const HRESULT created =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.ReceiveVoid());
    if (FAILED(created)) throw EOleError(SystemErrorText(created));
    if (FAILED(object->QueryInterface(IID_IShellLinkA, link.ReceiveVoid())) ||
        FAILED(object->QueryInterface(IID_IPersistFile, file.ReceiveVoid())))
      throw EOleError("Interface not supported");
  }
};

// A directory at the candidate path counts as taken too: saving over it
// would fail.
bool PathIsTaken(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

std::string ShortcutBaseName(const std::string& folder, const std::string& target) {
  // A dot is never a trail byte: only the name part must be found with
  // care for double-byte code pages.
  std::string name = FileNamePart(target);
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return AppendPathDelimiter(folder) + name + ".lnk";
}

std::string NumberedShortcutName(const std::string& baseName, int counter) {
  const size_t nameStart = FolderPart(baseName).size();
  const size_t dot = baseName.find('.', nameStart);
  char number[24];
  std::snprintf(number, sizeof number, "(%d)", counter);
  std::string candidate = baseName;
  candidate.insert(dot == std::string::npos ? candidate.size() : dot, number);
  return candidate;
}

// The folder a program starts in, as the shell gives its shortcuts: the
// target's own ("C:\\" for a file in a drive's root).
std::string WorkingFolderOf(const std::string& target) {
  const std::string folder = FolderPart(target);
  if (folder.size() <= 3) return folder;
  return StripPathDelimiter(folder);
}

void CreateShortcut(const std::string& folder, const std::string& target, const std::string& description,
                    const std::string& arguments, std::string& linkPath) {
  const std::string base = ShortcutBaseName(folder, target);
  const auto failed = [](const std::string& name) {
    return EOleError(FormatMessageText("Failed to create shortcut '%s'", name));
  };
  // No target, no name: a file called ".lnk" would start nothing.
  if (FileNamePart(target).empty()) throw failed(base);
  LinkObject shortcut;
  if (FAILED(shortcut.link->SetPath(target.c_str())) || FAILED(shortcut.link->SetArguments(arguments.c_str())) ||
      FAILED(shortcut.link->SetDescription(description.c_str())) ||
      FAILED(shortcut.link->SetWorkingDirectory(WorkingFolderOf(target).c_str())))
    throw failed(base);

  std::string candidate = base;
  for (int counter = 1; PathIsTaken(candidate); ++counter)
    candidate = NumberedShortcutName(base, counter);

  const bool saved = SUCCEEDED(shortcut.file->Save(Widen(candidate).c_str(), FALSE));
  if (!saved || GetFileAttributesA(candidate.c_str()) == INVALID_FILE_ATTRIBUTES) {
    // Nothing half-written is left behind.
    if (!saved) DeleteFileA(candidate.c_str());
    throw failed(candidate);
  }
  linkPath = candidate;
}

void GetShortcutTarget(const std::string& linkPath, std::string& target) {
  LinkObject shortcut;
  target.clear();
  if (FAILED(shortcut.file->Load(Widen(linkPath).c_str(), STGM_READ))) return;
  std::vector<char> buffer(kTargetBufferChars, '\0');
  // No find data is asked for: filling it looks the target up on disk,
  // which costs more than the whole rest of the call.
  shortcut.link->GetPath(buffer.data(), kTargetBufferChars, nullptr, 0);
  buffer.back() = '\0';
  target = buffer.data();
}
