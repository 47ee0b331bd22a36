#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "common/DropSource.h"
#include "common/nettools.h"
#include "plugin/UnitTable.h"
#include "common/ScreenCursor.h"
#include "ui/Application.h"

namespace {

std::vector<std::string> trace;
void Record(const char* unit, bool initialize) { trace.push_back(std::string(unit) + (initialize ? " init" : " fini")); }

// The test program's main has already run the initialisations.
class UnitTableTest : public testing::Test {
 protected:
  void SetUp() override {
    trace.clear();
    SetUnitTrace(&Record);
  }
  void TearDown() override {
    SetUnitTrace(nullptr);
    RunUnitInitialisations();
  }
};

}  // namespace

TEST_F(UnitTableTest, OrderOfTheLibrarysOwnUnits) {
  std::vector<std::string> names;
  for (int i = 0; i < UnitTableSize(); ++i) names.push_back(UnitTable()[i].name);
  const auto at = [&](const char* name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
  EXPECT_LT(at("Forms"), at("aritemdlg"));
  EXPECT_LT(at("aritemdlg"), at("nettools"));
  EXPECT_LT(at("HostStrings"), at("nettools"));
  EXPECT_LT(at("nettools"), at("DiskTools"));
  EXPECT_LT(at("DiskTools"), at("DropSource"));
  EXPECT_LT(at("DropSource"), at("ShellLink"));
  EXPECT_LT(at("ShellLink"), at("velframe"));
  EXPECT_LT(at("velframe"), at("velwin"));
  EXPECT_LT(at("velwin"), at("pdlmain"));
  EXPECT_EQ(names.back(), "velpdl");
  EXPECT_EQ(UnitTable()[UnitTableSize() - 1].initialize, nullptr);
}

TEST_F(UnitTableTest, FinalisationRunsInReverseAndInitialisationForward) {
  ASSERT_EQ(InitialisedUnitCount(), UnitTableSize());
  RunUnitFinalisations(false);
  EXPECT_EQ(KnownShares, nullptr);
  EXPECT_EQ(ui::TheApplication, nullptr);
  RunUnitInitialisations();
  ASSERT_EQ(trace.size(), 2u * UnitTableSize());
  for (int i = 0; i < UnitTableSize(); ++i) {
    EXPECT_EQ(trace[i], std::string(UnitTable()[UnitTableSize() - 1 - i].name) + " fini");
    EXPECT_EQ(trace[UnitTableSize() + i], std::string(UnitTable()[i].name) + " init");
  }
  ASSERT_NE(KnownShares, nullptr);
  EXPECT_TRUE(KnownShares->empty());
  EXPECT_NE(ui::TheApplication, nullptr);
  EXPECT_EQ(ui::TheApplication->Handle(), nullptr);
  EXPECT_EQ(CurrentScreenCursor(), CursorShape::Default);
}

TEST_F(UnitTableTest, CounterRunsLoadWorkOnceAndUnloadWorkLast) {
  std::vector<std::string>* shares = KnownShares;
  nettools_Initialize();  // a second initialisation does no load work
  EXPECT_EQ(KnownShares, shares);
  nettools_Finalize();    // undoes the second one only
  EXPECT_EQ(KnownShares, shares);
  RunUnitFinalisations(false);  // the last one does
  EXPECT_EQ(KnownShares, nullptr);
}

// OLE is no load or unload work: it must not run under the loader lock.
// The test program's own initialisation of this thread stays as it is.
TEST_F(UnitTableTest, LoadAndUnloadLeaveOleAlone) {
  for (bool processTerminating : {false, true}) {
    RunUnitFinalisations(processTerminating);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE) << processTerminating;
    CoUninitialize();
    RunUnitInitialisations();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE) << processTerminating;
    CoUninitialize();
  }
}

TEST(LibraryFile, LoadsAndUnloadsRepeatedly) {
  for (int i = 0; i < 5; ++i) {
    HMODULE library = LoadLibraryA(VELPDL_PATH);
    ASSERT_NE(library, nullptr) << "run " << i << " error " << GetLastError();
    EXPECT_TRUE(FreeLibrary(library));
  }
  // Still loadable, and the loading thread's OLE state is balanced.
  EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
  OleUninitialize();
}
