// Test programs run the library's unit initialisations first, as the
// loader does for the library, so the unit objects exist, and have OLE on
// their thread, as the library has it while the manager runs.
#include <gtest/gtest.h>

#include "common/DropSource.h"
#include "plugin/UnitTable.h"
#include "ui/Application.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  RunUnitInitialisations();
  OleThreadScope ole;
  // The test program itself carries the library's resources.
  ui::TheApplication->SetInstance(GetModuleHandleA(nullptr));
  const int result = RUN_ALL_TESTS();
  RunUnitFinalisations(false);
  return result;
}
