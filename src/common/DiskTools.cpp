#include "common/DiskTools.h"

#include "common/UnitCounter.h"

TDriveItemList* DriveItems = nullptr;

namespace {
UnitCounter unitCounter;
}

void DiskTools_Initialize() {
  if (!unitCounter.Enter()) return;
  DriveItems = new TDriveItemList;
}

void DiskTools_Finalize() {
  if (!unitCounter.Leave()) return;
  for (auto& entry : *DriveItems) {
    delete entry.second;
    entry.second = nullptr;
  }
  DriveItems->clear();
  delete DriveItems;
  DriveItems = nullptr;
}
