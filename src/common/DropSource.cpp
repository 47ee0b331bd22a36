#include "common/DropSource.h"

#include <windows.h>
#include <ole2.h>

#include "common/UnitCounter.h"

namespace {
UnitCounter unitCounter;
}

void DropSource_Initialize() {
  if (!unitCounter.Enter()) return;
  OleInitialize(nullptr);
}

void DropSource_Finalize(bool processTerminating) {
  if (!unitCounter.Leave()) return;
  if (processTerminating) return;
  OleUninitialize();
}
