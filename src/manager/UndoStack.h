#pragma once
// The commands of one opening, newest last, as undo takes them back. A
// step that cannot be taken back leaves the stack all the same, so that
// the next undo reaches the command before it.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Errors.h"
#include "manager/EntryCommands.h"

// The failure of one of several entries acted on in turn: with several
// selected, the user must learn which one it was, and that the ones after
// it (`entriesFollow`) were left as they were.
EVelmoraError StoppedAt(const std::wstring& name, const EVelmoraError& error, bool entriesFollow);

class UndoStack {
 public:
  UndoStack() = default;
  UndoStack(const UndoStack&) = delete;
  UndoStack& operator=(const UndoStack&) = delete;

  void Push(UndoStep step) { steps_.push_back(std::move(step)); }
  bool Empty() const { return steps_.empty(); }
  size_t Size() const { return steps_.size(); }
  // Takes the newest step back (UndoCommand); the step leaves the stack
  // whether it could be taken back or not. Returns the entry as it is
  // again; throws what UndoCommand throws.
  EntryRef UndoNewest();
  // The entry the newest step names, for the list to read back.
  const EntryRef* NewestEntry() const { return steps_.empty() ? nullptr : &steps_.back().entry; }
  // Acts on each entry in turn, each its own step, stopping at the first
  // that fails (StoppedAt names it); `act` returns false when it had
  // nothing to do (no step). `reached` hears of each entry before it is
  // acted on.
  void EachInTurn(const std::vector<EntryRef>& entries, const std::function<void(const EntryRef&)>& reached,
                  const std::function<bool(const EntryRef&, UndoStep&)>& act);

 private:
  std::vector<UndoStep> steps_;
};
