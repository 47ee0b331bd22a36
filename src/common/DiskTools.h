#pragma once
// The drive-item list kept for the shell helpers; nothing adds to it.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct TDriveItem {
  std::string text;
  uint32_t value = 0;
};

// Entries may carry a record, which the list owns.
using TDriveItemList = std::vector<std::pair<std::string, TDriveItem*>>;
extern TDriveItemList* DriveItems;

void DiskTools_Initialize();
void DiskTools_Finalize();
