#include "TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

ScratchKey::ScratchKey(const std::string& name, HKEY root)
    : root_(root), path_("Software\\VelmoraTests\\" + name) {
  RegDeleteTreeA(root_, path_.c_str());
  if (RegCreateKeyExA(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create scratch key " + path_);
}

ScratchKey::~ScratchKey() {
  RegCloseKey(key_);
  RegDeleteTreeA(root_, path_.c_str());
}

void ScratchKey::SetRaw(const std::string& name, DWORD type, const void* data, DWORD size) {
  RegSetValueExA(key_, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

void ScratchKey::SetString(const std::string& name, const std::string& text, DWORD type) {
  SetRaw(name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void ScratchKey::SetDword(const std::string& name, DWORD value) { SetRaw(name, REG_DWORD, &value, sizeof value); }

bool ScratchKey::Has(const std::string& name) const {
  return RegQueryValueExA(key_, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

DWORD ScratchKey::TypeOf(const std::string& name) const {
  DWORD type = REG_NONE;
  RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, nullptr);
  return type;
}

std::vector<BYTE> ScratchKey::Raw(const std::string& name) const {
  DWORD size = 0;
  RegQueryValueExA(key_, name.c_str(), nullptr, nullptr, nullptr, &size);
  std::vector<BYTE> data(size);
  RegQueryValueExA(key_, name.c_str(), nullptr, nullptr, data.data(), &size);
  data.resize(size);
  return data;
}

std::string ScratchKey::String(const std::string& name) const {
  const auto data = Raw(name);
  std::string text(data.begin(), data.end());
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

std::vector<std::string> ScratchKey::Names() const {
  std::vector<std::string> names;
  char name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumValueA(key_, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TempDir::TempDir() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  static int serial = 0;
  for (;;) {
    path_ = std::string(temp) + "veltest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    if (CreateDirectoryA(path_.c_str(), nullptr)) break;
  }
}

TempDir::~TempDir() { DeleteTreeOnDisk(path_); }

std::string TempDir::Write(const std::string& name, const std::string& content) const {
  const std::string path = File(name);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + path);
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  return path;
}

std::string TempDir::MakeDir(const std::string& name) const {
  const std::string path = File(name);
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

std::vector<std::string> TempDir::Names() const {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// Wide, so that files named beyond the code page go too; a file at the
// path goes as well.
static void DeleteTreeWide(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        DeleteTreeWide(child);
      else
        DeleteFileW(child.c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!RemoveDirectoryW(path.c_str())) DeleteFileW(path.c_str());
}

void DeleteTreeOnDisk(const std::string& path) { DeleteTreeWide(WideFromAnsi(path)); }

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ArtifactPath(const std::string& fileName) {
  // The variable holds a Unix path; Wine's Z: drive is the Unix root.
  const char* dir = std::getenv("VEL_ARTIFACTS");
  std::string path = dir ? std::string("Z:") + dir + "/" + fileName : fileName;
  std::replace(path.begin(), path.end(), '/', '\\');
  CreateDirectoryA(path.substr(0, path.find_last_of('\\')).c_str(), nullptr);
  return path;
}

namespace {
const wchar_t kHead[] =
    L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
    L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n";
}  // namespace

std::wstring TaskXml(const std::wstring& triggers, const std::wstring& actions, const std::wstring& settings) {
  return std::wstring(kHead) + L"  <RegistrationInfo><Description>Keeps \u00e9t\u00e9 fresh</Description></RegistrationInfo>\r\n" +
         L"  <Triggers>" + triggers + L"</Triggers>\r\n  <Settings>" + settings + L"</Settings>\r\n" +
         L"  <Actions Context=\"Author\">" + actions + L"</Actions>\r\n</Task>\r\n";
}


std::vector<std::uint8_t> EncodedTask(const std::wstring& text, TaskForm form) {
  std::vector<std::uint8_t> bytes;
  if (form == TaskForm::Utf16Bom || form == TaskForm::Utf16) {
    if (form == TaskForm::Utf16Bom) bytes = {0xFF, 0xFE};
    for (const wchar_t c : text) {
      bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
  }
  if (form == TaskForm::Utf8Bom) bytes = {0xEF, 0xBB, 0xBF};
  std::wstring utf8Text = text;
  const size_t declared = utf8Text.find(L"UTF-16");
  if (declared != std::wstring::npos) utf8Text.replace(declared, 6, L"UTF-8");
  for (const wchar_t c : utf8Text) {
    if (c < 0x80) {
      bytes.push_back(static_cast<std::uint8_t>(c));
    } else if (c < 0x800) {
      bytes.push_back(static_cast<std::uint8_t>(0xC0 | (c >> 6)));
      bytes.push_back(static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    } else {
      bytes.push_back(static_cast<std::uint8_t>(0xE0 | (c >> 12)));
      bytes.push_back(static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
      bytes.push_back(static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    }
  }
  return bytes;
}

