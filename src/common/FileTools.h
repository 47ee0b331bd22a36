#pragma once
// File-system helpers and the Windows side of path shortening. The pure
// path text helpers, masks and shortening passes are declared in the
// headers included here.
#include <windows.h>

#include <string>

#include "common/Mask.h"
#include "common/PathShortening.h"
#include "common/PathText.h"

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

// True for something that exists and is not a directory.
bool FileIsPresent(const std::string& path);
// True for an existing directory; network shares are connected first.
bool FolderIsPresent(const std::string& path);

// Fits a path into maxWidth pixels as measured with the font selected into dc.
std::string ShortenPathToWidth(const std::string& path, HDC dc, int maxWidth);
