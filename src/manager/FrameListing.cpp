// What the frame shows: the tree of places, the rows of the node selected
// and how they follow the commands and other programs, the selection and
// the status bar. What to list and why is ShownPlaces'.
#include <algorithm>
#include <memory>
#include <utility>

#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Names.h"
#include "manager/FrameMessages.h"
#include "manager/LocationCatalogue.h"
#include "manager/Publisher.h"
#include "manager/RecordStore.h"
#include "manager/velframe.h"
#include "res/resource.h"

namespace {

// True for the scope's life: a flag whose events are not the user's.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag), was_(flag) { flag = true; }
  ~FlagScope() { flag_ = was_; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
  bool was_;
};

}  // namespace

void TVelmora::InitManager() {
  RecountRecords();
  ForgetTasks();
  places_.ReadLook();
  ReloadAll();
}

void TVelmora::BuildLocationTree() {
  const FlagScope loading(loading_);
  HTREEITEM root = nullptr;
  // What the commands removed or replaced stays reachable, also when the
  // catalogue could not be read whole.
  const auto addRemovedNode = [this] {
    auto removed = std::make_unique<TAutoRunNode>();
    removed->Location = Location::Folder(RecordFolder());
    removed->ListsRecords = true;
    if (tvAutoRun.Add(nullptr, L"REMOVED", imgFolder, imgFolder, removed.get())) places_.Own(std::move(removed));
  };
  try {
    ForEachCatalogueNode([&](const CatalogueNode& node) {
      auto record = std::make_unique<TAutoRunNode>();
      record->Location = node.location;
      record->AllowsAdd = node.AllowsAdd();
      record->SwitchLocation = node.switches;
      record->SkipPolicy = node.skippedBy;
      const HTREEITEM item =
          tvAutoRun.Add(node.isRoot ? nullptr : root, node.caption, imgFolder, imgFolder, record.get());
      if (!item) return;
      places_.Own(std::move(record));
      if (!node.isRoot) return;
      root = item;
      // The user's root is selected; without it, no node is.
      if (node.location.root == RegistryRoot::CurrentUser) tvAutoRun.Select(item);
    });
  } catch (...) {
    addRemovedNode();
    places_.ReadSkipping();
    throw;
  }
  addRemovedNode();
  // The policies that skip the nodes made, each read once.
  places_.ReadSkipping();
}

void TVelmora::ClearTree() {
  tvAutoRun.DeleteAll();
  places_.ForgetNodes();
}

// The selected node and entry stay selected when they still exist.
void TVelmora::ReloadAll() {
  const TAutoRunNode* selectedNode = NodeItem(tvAutoRun.Selected());
  const Location location = selectedNode ? selectedNode->Location : Location();
  const std::optional<EntryRef> entry = SelectedEntry();
  const int selectedRow = lvAutoRun.SelectedIndex();
  {
    const FlagScope loading(loading_);
    // Rows refer to the nodes' records and the programs' facts: the rows
    // go first. Every program is read and verified again.
    ClearShownRows();
    worker_.ForgetFacts();
    ClearTree();
    try {
      BuildLocationTree();
    } catch (...) {
      // The commands follow what the tree shows selected, not the node
      // listed before.
      const TAutoRunNode* node = NodeItem(tvAutoRun.Selected());
      currentLocation_ = node ? node->Location.Text() : std::wstring();
      ApplyRuleToToolBar();
      throw;
    }
    if (!location.Empty())
      for (HTREEITEM node = tvAutoRun.Root(); node; node = tvAutoRun.NextInOrder(node))
        if (NodeItem(node) && NodeItem(node)->Location == location) {
          tvAutoRun.Select(node);
          break;
        }
  }
  tvAutoRunChange(tvAutoRun.Selected());
  // Refresh arms every watch anew: a key deleted and made again since.
  WatchShownNodes(true);
  // The entry, else the row where it was.
  const int row = entry ? rows_.Find(*entry) : -1;
  if (row >= 0 || selectedRow >= 0) SelectRow(row >= 0 ? row : std::min(selectedRow, rows_.Count() - 1));
}

std::vector<const TAutoRunNode*> TVelmora::LocationsOf(HTREEITEM node) const {
  std::vector<const TAutoRunNode*> nodes;
  if (!node || !NodeItem(node)) return nodes;
  if (tvAutoRun.Parent(node) || NodeItem(node)->ListsRecords) {
    nodes.push_back(NodeItem(node));
    return nodes;
  }
  for (HTREEITEM child = tvAutoRun.FirstChild(node); child; child = tvAutoRun.NextSibling(child))
    if (const TAutoRunNode* item = NodeItem(child)) nodes.push_back(item);
  return nodes;
}

Listing TVelmora::ListShown() { return places_.List(ShownNodes()); }

void TVelmora::ListSelectedNode() {
  places_.Show(ShownNodes());
  Listing listing = ListShown();
  rows_.Append(listing.rows);
  ShowHiddenCount();
  StartIdleWork();
  if (listing.error) std::rethrow_exception(listing.error);
}

void TVelmora::ClearShownRows() {
  EntryRows leaving = rows_.Clear();
  places_.StartLook();
  for (auto& row : leaving) places_.Look(std::move(*row));
  places_.ShowNone();
}

void TVelmora::tvAutoRunChange(HTREEITEM node) {
  if (loading_) return;
  // Cleared with redrawing on: one removal of all rows, which the list
  // settles at once; turned off and on around it, it lays itself out again.
  ClearShownRows();
  if (!node) return;
  // However the listing ends, the status bar and the buttons follow the
  // row selected (or none).
  struct Guard {
    TVelmora* frame;
    ~Guard() { frame->lvAutoRunChange(frame->lvAutoRun.SelectedIndex()); }
  } guard{this};
  const TAutoRunNode* item = NodeItem(node);
  if (!item || item->Location.Empty()) return;
  currentLocation_ = item->Location.Text();
  StatusBar.SetText(0, ShownLocation(currentLocation_));
  ShowSkipping();
  {
    ui::ListUpdateBracket bracket(lvAutoRun);
    ListSelectedNode();
  }
  WatchShownNodes();
  ReadShownTasks();
  if (rows_.Count() > 0) SelectRow(0);
}

bool TVelmora::ShowsTasks() const {
  const std::vector<const TAutoRunNode*> shown = ShownNodes();
  return std::any_of(shown.begin(), shown.end(), [](const TAutoRunNode* node) { return node->Location.IsTasks(); });
}

void TVelmora::ReadShownTasks() {
  if (ShowsTasks()) tasks_.Read();
}

// The rows follow the read as they follow another program's change; the
// task folders watched follow every read, whoever merged its rows (a
// change notification may have come first).
void TVelmora::TasksRead() {
  if (loading_) return;
  ShowSkipping();
  WatchShownNodes();
  if (editing_) {
    listAfterEdit_ = true;
    return;
  }
  if (!places_.TakeStamps(ShownNodes())) return;
  try {
    MergeKeepingView();
  } catch (const EVelmoraError&) {
  }
}

// Shortening measures the text again and again: each location is
// shortened once for the panel's width.
const std::wstring& TVelmora::ShownLocation(const std::wstring& location) {
  const int width = StatusBar.PanelWidth(0);
  if (width != shortenedWidth_) shortenedLocations_.clear();
  shortenedWidth_ = width;
  auto shown = shortenedLocations_.find(location);
  if (shown == shortenedLocations_.end()) {
    ui::WindowDC dc(StatusBar);
    shown = shortenedLocations_.emplace(location, ShortenPathToWidth(location, dc.Get(), width)).first;
  }
  return shown->second;
}

// The third panel waits for the row's work: it never says less than is so.
void TVelmora::lvAutoRunChange(int item) {
  if (selecting_) return;
  rows_.Settle(item);
  const TAutoRunItem* entry = rows_.At(item);
  StatusBar.SetText(1, entry ? FileNamePart(entry->Command) : std::wstring());
  if (entry && entry->Kind == EntryKind::Task) {
    const auto& task = static_cast<const TTaskRow&>(*entry);
    StatusBar.SetText(0, task.Triggers.empty() ? task.Name : task.Name + L": " + task.Triggers);
  } else if (!entry || entry->Kind != EntryKind::Record) {
    StatusBar.SetText(0, ShownLocation(currentLocation_));
  }
  if (entry && entry->Kind == EntryKind::Gone) {
    StatusBar.SetText(2, places_.Comparison().TextOf(*entry));
  } else if (entry && entry->Kind == EntryKind::Record) {
    // Where the entry came from, and what became of it.
    const auto& kept = static_cast<const TRecordRow&>(*entry);
    StatusBar.SetText(0, ShownLocation(kept.Origin));
    StatusBar.SetText(2, kept.Kept == RecordKind::Replaced ? L"Replaced" : L"Removed");
  } else {
    const auto* task = entry && entry->Kind == EntryKind::Task ? static_cast<const TTaskRow*>(entry) : nullptr;
    StatusBar.SetText(2, task && !task->Unreadable.empty()      ? task->Unreadable
                         : task && task->Hidden                 ? L"Hidden from the Task Scheduler"
                         : !entry || !entry->Settled()          ? L""
                         : entry->Missing()                     ? L"Missing"
                         : entry->SwitchedOff()                 ? L"Off"
                         : task && task->TriggersOff            ? L"Off: its logon and startup triggers are disabled"
                         : entry->Skipped()                     ? L"Skipped by policy"
                         : entry->NotLoaded()                   ? entry->Node->NotLoaded
                         : places_.NotWindowsDefault(*entry)    ? L"Not Windows' default"
                         : entry->Mark == EntryMark::New        ? L"New"
                         : entry->Mark == EntryMark::Changed    ? L"Changed"
                         : entry->Mark == EntryMark::OnAgain    ? L"On again"
                                                                : SignatureText(entry->Facts));
  }
  ApplyRuleToToolBar();
}

// The list reports the focus and the selection as they move (and the row
// they leave): the status bar and the buttons follow once, at the end.
void TVelmora::SelectRow(int row) {
  if (row < 0 || row >= rows_.Count()) return;
  {
    const FlagScope selecting(selecting_);
    lvAutoRun.SetFocused(row, true);
    lvAutoRun.SelectOnly(row);
    lvAutoRun.EnsureVisible(row);
  }
  lvAutoRunChange(row);
}

std::optional<EntryRef> TVelmora::SelectedEntry() const {
  const TAutoRunItem* item = rows_.At(lvAutoRun.SelectedIndex());
  if (!item) return std::nullopt;
  return EntryRef::Of(*item);
}

std::vector<int> TVelmora::SelectedRows() const {
  std::vector<int> rows;
  for (int row = -1; (row = lvAutoRun.NextSelected(row)) >= 0;) rows.push_back(row);
  return rows;
}

void TVelmora::SelectAfter(const std::optional<EntryRef>& select, int fallbackRow) {
  int row = select ? rows_.Find(*select) : -1;
  if (row < 0) row = std::min(fallbackRow, rows_.Count() - 1);
  // The selected row may be the same and its state not: the status bar
  // follows the record either way.
  if (row >= 0) return SelectRow(row);
  lvAutoRun.SetSelected(-1, false);
  lvAutoRunChange(lvAutoRun.SelectedIndex());
}

void TVelmora::RefreshEntries(const std::optional<EntryRef>& select, int fallbackRow) {
  Listing listing = ListShown();
  rows_.Merge(listing.rows);
  ShowHiddenCount();
  StartIdleWork();
  SelectAfter(select, fallbackRow);
  if (listing.error) std::rethrow_exception(listing.error);
}

// A renamed entry takes the row of the name it left, so that it keeps its
// place. The registry reads a value by any case of its name but keeps one
// case: of two touched names that differ in case only, the later (the one
// the command left) is read.
void TVelmora::UpdateRows(const std::vector<EntryRef>& touched, const std::optional<EntryRef>& select,
                          bool wholeList, int fallbackRow) {
  const std::vector<const TAutoRunNode*> nodes = ShownNodes();
  const bool listsRecords =
      std::any_of(nodes.begin(), nodes.end(), [](const TAutoRunNode* node) { return node->ListsRecords; });
  if (wholeList || listsRecords) return RefreshEntries(select, fallbackRow);
  const auto nodeOf = [&](const EntryRef& entry) -> const TAutoRunNode* {
    if (entry.kind == EntryKind::Record || !entry.Addressable()) return nullptr;
    for (const TAutoRunNode* node : nodes)
      if (entry.In(*node)) return node;
    return nullptr;
  };
  std::optional<EntryRef> vacated;
  for (size_t at = 0; at < touched.size(); ++at) {
    const EntryRef& entry = touched[at];
    const TAutoRunNode* node = nodeOf(entry);
    if (!node) continue;
    const bool readLater = std::any_of(touched.begin() + static_cast<std::ptrdiff_t>(at) + 1, touched.end(),
                                       [&](const EntryRef& later) {
                                         return later.location == entry.location && SameName(later.name, entry.name);
                                       });
    std::unique_ptr<TAutoRunItem> record = readLater ? nullptr : ReadEntry(*node, entry);
    // An entry left out goes from the list as one that went.
    if (places_.PutLeftOut(entry, record)) ShowHiddenCount();
    if (!record) {
      if (!vacated && rows_.Find(entry) >= 0)
        vacated = entry;
      else
        rows_.Put(entry, nullptr, nodes);
      continue;
    }
    rows_.Put(entry, std::move(record), nodes, vacated ? &*vacated : nullptr);
    vacated.reset();
  }
  if (vacated) rows_.Put(*vacated, nullptr, nodes);
  // What the command wrote is known now: its notifications list nothing.
  places_.TakeStamps(nodes);
  ShowHiddenCount();
  StartIdleWork();
  SelectAfter(select, fallbackRow);
}

void TVelmora::WatchShownNodes(bool again) { watch_.Watch(ShownPlaces::WatchOf(ShownNodes()), again); }

// Another program changed a place on show (or the watch began): listed
// again when a stamp differs, so a command's own writes cost nothing
// here. After each command the places are listed once whatever the
// stamps say (here or in idle time, whichever comes first): another
// program's write just before the command's own is in the stamp the
// command took, and a refused command writes nothing to be told of.
void TVelmora::WatchedChanged() {
  watch_.Acknowledge();
  if (loading_) return;
  // The list does not move under an open edit box (the control would end
  // the edit): the listing waits for the edit to end.
  if (editing_) {
    listAfterEdit_ = true;
    return;
  }
  if (places_.ReadSkipping()) {
    ShowSkipping();
    InvalidateRect(lvAutoRun.Handle(), nullptr, FALSE);
    lvAutoRunChange(lvAutoRun.SelectedIndex());
  }
  // A task file written: the tasks are read again off this thread.
  ReadShownTasks();
  const bool changed = places_.TakeStamps(ShownNodes());
  const bool owed = std::exchange(relistOwed_, false);
  if (!changed && !owed) return;
  if (changed) ++watchedRelists_;
  // A listing that fails shows what it listed; the next change or Refresh
  // says more.
  try {
    MergeKeepingView();
  } catch (const EVelmoraError&) {
  }
}

// The list does not move under F2's open edit box: the listing is owed
// until the edit ends (its end lists what waited).
void TVelmora::ListAgainWhenFree() {
  if (editing_ || loading_) {
    relistOwed_ = true;
    listAfterEdit_ = listAfterEdit_ || editing_.has_value();
    return;
  }
  MergeKeepingView();
}

// What the user sees stays: every selected row that still exists stays
// selected, the focused one keeps the focus, the row at the top of the
// view stays at the top; when all selected rows went, the row where they
// were is selected.
void TVelmora::MergeKeepingView() {
  std::vector<EntryRef> selected;
  for (const int row : SelectedRows()) selected.push_back(EntryRef::Of(*rows_.At(row)));
  const auto entryAt = [this](int row) {
    const TAutoRunItem* item = rows_.At(row);
    return item ? std::optional<EntryRef>(EntryRef::Of(*item)) : std::nullopt;
  };
  const std::optional<EntryRef> focused = entryAt(lvAutoRun.FocusedIndex()), top = entryAt(lvAutoRun.TopIndex());
  const int selectedRow = lvAutoRun.SelectedIndex();
  Listing listing = ListShown();
  rows_.Merge(listing.rows);
  ShowHiddenCount();
  StartIdleWork();
  bool anySelected = false;
  {
    const FlagScope selecting(selecting_);
    for (const EntryRef& entry : selected) {
      const int row = rows_.Find(entry);
      if (row < 0) continue;
      anySelected = true;
      if (!lvAutoRun.IsSelected(row)) lvAutoRun.SetSelected(row, true);
    }
    const int focusRow = focused ? rows_.Find(*focused) : -1;
    if (focusRow >= 0 && !lvAutoRun.IsFocused(focusRow)) lvAutoRun.SetFocused(focusRow, true);
    const int topRow = top ? rows_.Find(*top) : -1;
    if (topRow >= 0 && topRow != lvAutoRun.TopIndex()) lvAutoRun.ScrollToTop(topRow);
  }
  if (!anySelected && selectedRow >= 0) return SelectAfter(std::nullopt, selectedRow);
  lvAutoRunChange(lvAutoRun.SelectedIndex());
  if (listing.error) std::rethrow_exception(listing.error);
}

void TVelmora::ShowSkipping() {
  const TAutoRunNode* node = NodeItem(tvAutoRun.Selected());
  std::wstring text = ShowsTasks() && !LatestTasks()->answered ? std::wstring(kNoTaskService)
                      : node && !node->SkippedBy.empty()
                          ? L"Windows skips these entries by policy: " + node->SkippedBy + L"."
                          : std::wstring();
  const ListComparison& comparison = places_.Comparison();
  if (comparison.Active())
    text = (text.empty() ? std::wstring() : text + L" ") + L"Compared with the saved list '" + comparison.FileName() + L"'.";
  if (!saveProgress_.empty()) text = saveProgress_ + (text.empty() ? std::wstring() : L" " + text);
  if (text.empty()) text = kUsualCaption;
  if (pnlTop.Text() == text) return;
  pnlTop.SetText(text);
  InvalidateRect(pnlTop.Handle(), nullptr, TRUE);
}

void TVelmora::ShowHiddenCount() {
  const size_t hidden = places_.LeftOutCount();
  std::wstring text = hidden == 0 ? std::wstring() : std::to_wstring(hidden) + L" hidden";
  if (places_.Comparison().Active()) {
    const ListComparison::Counts counts = places_.CountCompared([&](const auto& tally) { rows_.ForEach(tally); });
    text = std::to_wstring(counts.fresh) + L" new, " + std::to_wstring(counts.changed) + L" changed, " +
           std::to_wstring(counts.gone) + L" gone" + (text.empty() ? std::wstring() : L"; " + text);
  }
  StatusBar.SetText(3, text);
}

void TVelmora::FilterChanged() {
  if (places_.SetFilter(edFilter.Text())) ListAgainWhenFree();
}

void TVelmora::SetHideWindowsEntries(bool hide) {
  places_.SetHideWindows(hide);
  if (ui::ToolButton* button = tbrCommands.ButtonOf(ItemIdOf(Command::HideWindows))) button->SetChecked(hide);
  if (tvAutoRun.Selected()) ListAgainWhenFree();
}

// A header click sorts by its column, a second click on it reverses.
void TVelmora::lvAutoRunColumnClick(int column) {
  RowOrder order = rows_.Order();
  order.ascending = order.column != column || !order.ascending;
  order.column = column;
  rows_.SortBy(order);
  const int selected = lvAutoRun.SelectedIndex();
  if (selected >= 0) lvAutoRun.EnsureVisible(selected);
}
