#include "common/DropSource.h"

#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include "common/UnitCounter.h"

std::array<UINT, ClipboardFormatCount> ClipboardFormats{};
IMalloc* ShellMalloc = nullptr;

namespace {

UnitCounter unitCounter;

const char* const kFormatNames[ClipboardFormatCount] = {
    "FileContents",         "FileGroupDescriptor", "Shell IDList Array", "Preferred DropEffect",
    "UniformResourceLocator", "FileNameMap",       "FileNameMapW",
};

}  // namespace

void DropSource_Initialize() {
  if (!unitCounter.Enter()) return;
  OleInitialize(nullptr);
  for (int i = 0; i < ClipboardFormatCount; ++i) ClipboardFormats[i] = RegisterClipboardFormatA(kFormatNames[i]);
  SHGetMalloc(&ShellMalloc);
}

void DropSource_Finalize(bool processTerminating) {
  if (!unitCounter.Leave()) return;
  IMalloc* malloc = ShellMalloc;
  ShellMalloc = nullptr;
  if (processTerminating) return;
  OleUninitialize();
  if (malloc) malloc->Release();
}
