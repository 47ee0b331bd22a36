#include "manager/UndoStack.h"

EntryRef UndoStack::UndoNewest() {
  const UndoStep step = std::move(steps_.back());
  steps_.pop_back();
  return UndoCommand(step);
}

EVelmoraError StoppedAt(const std::wstring& name, const EVelmoraError& error, bool entriesFollow) {
  std::string text = FormatMessageText("Stopped at '%s': ", ShownName(name)) + error.what();
  if (entriesFollow) text += "\nThe entries after it were left as they were.";
  return EVelmoraError(text, error.Code());
}

void UndoStack::EachInTurn(const std::vector<EntryRef>& entries, const std::function<void(const EntryRef&)>& reached,
                           const std::function<bool(const EntryRef&, UndoStep&)>& act) {
  for (size_t at = 0; at < entries.size(); ++at) {
    const EntryRef& entry = entries[at];
    reached(entry);
    UndoStep step;
    bool acted = false;
    try {
      acted = act(entry, step);
    } catch (const EVelmoraError& error) {
      if (entries.size() == 1) throw;
      throw StoppedAt(entry.Said(), error, at + 1 < entries.size());
    }
    if (acted) Push(std::move(step));
  }
}
