#include "common/DropSource.h"

#include <windows.h>
#include <ole2.h>

#include "common/UnitCounter.h"

namespace {
UnitCounter unitCounter;
}

void DropSource_Initialize() { unitCounter.Enter(); }

void DropSource_Finalize(bool) { unitCounter.Leave(); }

// S_FALSE (already initialised on this thread) also counts and is undone;
// RPC_E_CHANGED_MODE (a multithreaded apartment) is not.
OleThreadScope::OleThreadScope() : initialised_(SUCCEEDED(OleInitialize(nullptr))) {}

OleThreadScope::~OleThreadScope() {
  if (initialised_) OleUninitialize();
}
