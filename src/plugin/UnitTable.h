#pragma once
// Every unit of the library in initialisation order, each with its load
// and unload procedures. Loading runs the table from the first entry,
// unloading runs the initialised entries from the last to the first.

struct UnitEntry {
  const char* name;
  void (*initialize)();            // may be null
  void (*finalize)(bool terminating);  // may be null
};

const UnitEntry* UnitTable();
int UnitTableSize();

// Seen by tests: each procedure run, as "<unit> init" / "<unit> fini".
using UnitTraceFn = void (*)(const char* unit, bool initialize);
void SetUnitTrace(UnitTraceFn trace);

void RunUnitInitialisations();
// `processTerminating`: the loader is ending the process rather than
// unloading the library.
void RunUnitFinalisations(bool processTerminating);
int InitialisedUnitCount();
