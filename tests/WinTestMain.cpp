// Test programs run the library's unit initialisations first, as the
// loader does for the library, so OLE and the unit objects exist.
#include <gtest/gtest.h>

#include "plugin/UnitTable.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  RunUnitInitialisations();
  const int result = RUN_ALL_TESTS();
  RunUnitFinalisations(false);
  return result;
}
