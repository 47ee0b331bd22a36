#include "manager/UndoStack.h"

EntryRef UndoStack::UndoNewest() {
  const UndoStep step = std::move(steps_.back());
  steps_.pop_back();
  return UndoCommand(step);
}
