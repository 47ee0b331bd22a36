#pragma once
// OLE on the loading thread.

void DropSource_Initialize();
// At process termination other DLLs may already be gone, so the OLE call
// is skipped then.
void DropSource_Finalize(bool processTerminating);
