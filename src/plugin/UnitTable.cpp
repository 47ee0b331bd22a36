#include "plugin/UnitTable.h"

#include "common/DropSource.h"
#include "common/UnitCounter.h"
#include "common/nettools.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace {

// Units without load or unload work only move their counter.
template <int Slot>
struct CountingUnit {
  static UnitCounter counter;
  static void Initialize() { counter.Enter(); }
  static void Finalize(bool) { counter.Leave(); }
};
template <int Slot>
UnitCounter CountingUnit<Slot>::counter;

UnitCounter formsCounter;
void Forms_Initialize() {
  if (formsCounter.Enter()) ui::CreateApplicationObjects();
}
void Forms_Finalize(bool processTerminating) {
  if (!formsCounter.Leave()) return;
  if (!processTerminating) ui::UnregisterLibraryClasses();
  ui::FreeApplicationObjects();
}

void nettools_Fini(bool) { nettools_Finalize(); }

void MainBlockFinalize(bool) {}

#define COUNTING(slot, name) {name, &CountingUnit<slot>::Initialize, &CountingUnit<slot>::Finalize}

const UnitEntry kUnits[] = {
    COUNTING(0, "System"),
    COUNTING(1, "SysUtils"),
    {"Forms", &Forms_Initialize, &Forms_Finalize},
    COUNTING(2, "Controls"),
    COUNTING(3, "aritemdlg"),
    COUNTING(4, "HostStrings"),
    COUNTING(5, "HostDescriptionFiles"),
    {"nettools", &nettools_Initialize, &nettools_Fini},
    COUNTING(6, "FileTools"),
    COUNTING(13, "DiskTools"),
    {"DropSource", &DropSource_Initialize, &DropSource_Finalize},
    COUNTING(7, "ComObj"),
    COUNTING(8, "Registry"),
    COUNTING(9, "ShellLink"),
    COUNTING(10, "velframe"),
    COUNTING(11, "velwin"),
    COUNTING(12, "pdlmain"),
    {"velpdl", nullptr, &MainBlockFinalize},
};

constexpr int kUnitCount = sizeof kUnits / sizeof kUnits[0];
int initialised = 0;
UnitTraceFn trace = nullptr;

}  // namespace

const UnitEntry* UnitTable() { return kUnits; }
int UnitTableSize() { return kUnitCount; }
void SetUnitTrace(UnitTraceFn fn) { trace = fn; }
int InitialisedUnitCount() { return initialised; }

void RunUnitInitialisations() {
  for (; initialised < kUnitCount; ++initialised) {
    const UnitEntry& unit = kUnits[initialised];
    if (unit.initialize) unit.initialize();
    if (trace) trace(unit.name, true);
  }
}

void RunUnitFinalisations(bool processTerminating) {
  while (initialised > 0) {
    const UnitEntry& unit = kUnits[--initialised];
    if (unit.finalize) unit.finalize(processTerminating);
    if (trace) trace(unit.name, false);
  }
}
