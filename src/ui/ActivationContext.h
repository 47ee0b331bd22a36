#pragma once
// The library's own manifest, activated around the creation and the run
// of its windows: a DLL's manifest is not applied to its windows by
// itself, and without it they would get the old common controls.
#include <windows.h>

namespace ui {

class LibraryActivation {
 public:
  // `resourceId`: the manifest resource of `module`.
  LibraryActivation(HMODULE module, int resourceId);
  ~LibraryActivation();
  LibraryActivation(const LibraryActivation&) = delete;
  LibraryActivation& operator=(const LibraryActivation&) = delete;
  bool IsActive() const { return cookie_ != 0; }

 private:
  HANDLE context_ = INVALID_HANDLE_VALUE;
  ULONG_PTR cookie_ = 0;
};

}  // namespace ui
