#pragma once
// File-system helpers and the Windows side of path shortening. The pure
// path text helpers, masks and shortening passes are declared in the
// headers included here.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/Mask.h"
#include "common/PathShortening.h"
#include "common/PathText.h"
#include "common/Signature.h"

// Sets the process error mode for one scope and restores it on every path.
class ErrorModeScope {
 public:
  explicit ErrorModeScope(UINT mode) : previous_(SetErrorMode(mode)) {}
  ~ErrorModeScope() { SetErrorMode(previous_); }
  ErrorModeScope(const ErrorModeScope&) = delete;
  ErrorModeScope& operator=(const ErrorModeScope&) = delete;

 private:
  UINT previous_;
};

// True for an existing directory; network shares are connected first.
bool FolderIsPresent(const std::string& path);
bool FolderIsPresent(const std::wstring& path);

// A whole file's bytes; false when it cannot be read whole.
bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes);
// Writes a file whole and flushes it, so that it is on disk when this
// returns: a new file, or in place of one (`replace`: written beside it and
// put in its place only once whole, so a failed write leaves the earlier
// file as it was). Nothing is left of a write that failed. The Win32 result.
DWORD WriteWholeFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes, bool replace);
// Where the tests cannot fill a drive: every write of WriteWholeFile
// fails as on a full one.
void FailWritesForTesting(bool fail);

// A file's version as the system reports it (size halves and last write).
inline FileStamp FileStampFrom(DWORD sizeHigh, DWORD sizeLow, const FILETIME& written) {
  return FileStamp{(std::uint64_t{sizeHigh} << 32) | sizeLow,
                   (std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime};
}

// A path the wide file calls take past MAX_PATH characters: the "\\?\"
// form of a drive path or a share's path; shorter ones as they are.
std::wstring LongPathForm(const std::wstring& path);

// Closes a file search on every way out. Wide, in the long form past
// MAX_PATH: folders' paths and their files' names are UTF-16.
class FileSearch {
 public:
  explicit FileSearch(const std::wstring& pattern)
      : handle_(FindFirstFileW(LongPathForm(pattern).c_str(), &found_)) {}
  ~FileSearch() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;
  bool Started() const { return handle_ != INVALID_HANDLE_VALUE; }
  const WIN32_FIND_DATAW& Current() const { return found_; }
  bool Next() { return FindNextFileW(handle_, &found_) != FALSE; }

 private:
  WIN32_FIND_DATAW found_{};
  HANDLE handle_;
};

// Fits a path into maxWidth pixels as measured with the font selected into dc.
std::wstring ShortenPathToWidth(const std::wstring& path, HDC dc, int maxWidth);
