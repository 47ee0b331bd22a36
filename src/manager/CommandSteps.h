#pragma once
// What the editing commands and their undo share: the steps of one command,
// each with the way to put it back, and the reads and writes of a value
// they are made of. Used by EntryCommands.cpp and EntryUndo.cpp only.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/Errors.h"
#include "common/Registry.h"
#include "manager/Entry.h"
#include "manager/RecordIndex.h"
#include "manager/RecordStore.h"

namespace command_steps {

ERegistryException RegistryError(const char* pattern, const std::wstring& name, LONG code);

// The steps of one command that changed something, each with the way to
// put it back. A failing step puts back the earlier ones, newest first,
// and its error then names what could not be put back.
class Steps {
 public:
  // `change` returns a Win32 result; on failure the earlier steps are put
  // back and `failure` is thrown with the result's code.
  void Run(const std::function<LONG()>& change, const std::function<LONG()>& putBack, const std::wstring& what,
           const std::function<EVelmoraError(LONG)>& failure) {
    const LONG result = change();
    if (result != ERROR_SUCCESS) Fail(failure(result));
    Done(putBack, what);
  }
  // A step taken elsewhere, and how to put it back.
  void Done(const std::function<LONG()>& putBack, const std::wstring& what) { done_.push_back({putBack, what, false}); }
  // Keeps what the command is about to remove or overwrite, before any
  // change: "Failed to keep a copy of '%s'" stops it. A command that does
  // not act after all discards the record again.
  std::wstring Keep(const EntryRecord& record);
  // A record goes only when everything after it was put back: otherwise
  // it holds the only copy of what could not be.
  [[noreturn]] void Fail(const EVelmoraError& error);

 private:
  struct Taken {
    std::function<LONG()> putBack;
    std::wstring what;
    bool isRecord;
  };
  std::vector<Taken> done_;
};

LONG SetValue(const RegistryKey& key, const std::wstring& name, const StoredBytes& value);
StoredBytes StringValue(const std::wstring& text, DWORD type);
// The value stored under `name` now (absent when there is none).
StoredBytes StoredNow(const RegistryKey& key, const std::wstring& name);
// A deletion of what is not there succeeds.
LONG Deleted(LONG result);
// An entry's switch as stored now; none where Windows keeps no switch.
StoredBytes SwitchNow(const Location& switchLocation, const std::wstring& name);
// A whole file's bytes; empty when it cannot be read.
std::vector<std::uint8_t> FileBytes(const std::wstring& path);
EntryRecord RecordOf(RecordKind kind, const EntryRef& entry);

}  // namespace command_steps
