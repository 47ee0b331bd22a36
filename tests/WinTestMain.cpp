// Test programs run the library's unit initialisations first, as the
// loader does for the library, so OLE and the unit objects exist.
#include <gtest/gtest.h>

#include "plugin/UnitTable.h"
#include "ui/Application.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  RunUnitInitialisations();
  // The test program itself carries the library's resources.
  ui::TheApplication->SetInstance(GetModuleHandleA(nullptr));
  const int result = RUN_ALL_TESTS();
  RunUnitFinalisations(false);
  return result;
}
