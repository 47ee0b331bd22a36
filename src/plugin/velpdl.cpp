// The library's entry point: the units' load work on process attach and
// their unload work, in reverse order, on detach.
#include <windows.h>

#include "plugin/UnitTable.h"
#include "ui/Application.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
#ifdef VEL_NO_LOAD_WORK
  // The benchmark's floor: what loading costs without the units' work.
  (void)instance, (void)reason, (void)reserved;
  return TRUE;
#endif
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      RunUnitInitialisations();
      ui::TheApplication->SetInstance(instance);
      break;
    case DLL_PROCESS_DETACH:
      // A non-null `reserved` means the process is ending.
      RunUnitFinalisations(reserved != nullptr);
      break;
    default:
      break;
  }
  return TRUE;
}
