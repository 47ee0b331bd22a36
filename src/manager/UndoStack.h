#pragma once
// The commands of one opening, newest last, as undo takes them back. A
// step that cannot be taken back leaves the stack all the same, so that
// the next undo reaches the command before it.
#include <optional>
#include <string>
#include <vector>

#include "manager/EntryCommands.h"

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

 private:
  std::vector<UndoStep> steps_;
};
