#pragma once
// OLE for the thread that runs the manager. Never in DllMain: OLE must not
// be initialised under the loader lock (it can deadlock), so the unit's
// load and unload work only counts.

void DropSource_Initialize();
void DropSource_Finalize(bool processTerminating);

// OLE (single-threaded apartment) on the calling thread for one scope,
// undone at its end only if this scope's initialisation succeeded: a thread
// the host has put in the multithreaded apartment keeps it.
class OleThreadScope {
 public:
  OleThreadScope();
  ~OleThreadScope();
  OleThreadScope(const OleThreadScope&) = delete;
  OleThreadScope& operator=(const OleThreadScope&) = delete;
  bool Initialised() const { return initialised_; }

 private:
  bool initialised_ = false;
};
