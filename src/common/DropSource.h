#pragma once
// OLE on the loading thread, the shell's clipboard formats and allocator.
#include <windows.h>

#include <array>

struct IMalloc;

enum ClipboardFormatIndex {
  cfFileContents,
  cfFileGroupDescriptor,
  cfShellIDListArray,
  cfPreferredDropEffect,
  cfUniformResourceLocator,
  cfFileNameMap,
  cfFileNameMapW,
  ClipboardFormatCount
};

extern std::array<UINT, ClipboardFormatCount> ClipboardFormats;
extern IMalloc* ShellMalloc;

void DropSource_Initialize();
// At process termination other DLLs may already be gone, so the OLE and
// allocator calls are skipped then.
void DropSource_Finalize(bool processTerminating);
