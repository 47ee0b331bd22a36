#include "common/FileTools.h"

#include "common/Unicode.h"
#include "common/nettools.h"

bool FolderIsPresent(const std::string& path) { return FolderIsPresent(WideFromAnsi(path)); }

bool FolderIsPresent(const std::wstring& path) {
  if (IsNetworkPath(path) && !ConnectNetworkShare(path, true)) return false;
  DWORD attributes;
  {
    ErrorModeScope errorMode(SEM_FAILCRITICALERRORS);
    attributes = GetFileAttributesW(LongPathForm(path).c_str());
  }
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  const HANDLE file =
      CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes.resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  const bool whole = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                     read == bytes.size();
  CloseHandle(file);
  if (!whole) bytes.clear();
  return whole;
}

namespace {
bool failWritesForTesting = false;

// Writes and flushes a file of its own; nothing is left of it when that
// fails. The Win32 result.
DWORD WriteNewFile(const std::wstring& longPath, const std::vector<std::uint8_t>& bytes, DWORD disposition) {
  const HANDLE file =
      CreateFileW(longPath.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD written = 0;
  bool whole = !failWritesForTesting;
  if (!whole) SetLastError(ERROR_DISK_FULL);
  whole = whole && WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
          written == bytes.size() && FlushFileBuffers(file);
  const DWORD result = whole ? ERROR_SUCCESS : GetLastError();
  CloseHandle(file);
  if (!whole) DeleteFileW(longPath.c_str());
  return whole ? ERROR_SUCCESS : (result ? result : ERROR_WRITE_FAULT);
}
}  // namespace

void FailWritesForTesting(bool fail) { failWritesForTesting = fail; }

// A file written over in place is gone the moment it is opened for
// writing: a full drive would leave neither. The new one is written whole
// beside it first, then put in its place in one step.
DWORD WriteWholeFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes, bool replace) {
  if (!replace) return WriteNewFile(LongPathForm(path), bytes, CREATE_NEW);
  const std::wstring beside = LongPathForm(path + L".velmora-" + std::to_wstring(GetCurrentProcessId()));
  const DWORD written = WriteNewFile(beside, bytes, CREATE_ALWAYS);
  if (written != ERROR_SUCCESS) return written;
  if (MoveFileExW(beside.c_str(), LongPathForm(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return ERROR_SUCCESS;
  const DWORD failed = GetLastError();
  DeleteFileW(beside.c_str());
  return failed ? failed : ERROR_WRITE_FAULT;
}

std::wstring LongPathForm(const std::wstring& path) {
  if (path.size() < MAX_PATH || path.compare(0, 4, L"\\\\?\\") == 0) return path;
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
  if (IsNetworkPath(path)) return L"\\\\?\\UNC\\" + path.substr(2);
  return path;
}

std::wstring ShortenPathToWidth(const std::wstring& path, HDC dc, int maxWidth) {
  const auto textWidth = [dc](const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return static_cast<int>(size.cx);
  };
  return ShortenPath(path, textWidth, maxWidth);
}
