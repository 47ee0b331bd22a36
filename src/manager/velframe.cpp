#include "manager/velframe.h"

#include <commdlg.h>

#include <algorithm>
#include <chrono>

#include "common/FileTools.h"
#include "common/Names.h"
#include "common/ShellProperties.h"
#include "manager/EntryCommands.h"
#include "manager/Location.h"
#include "manager/LocationCatalogue.h"
#include "manager/ProgramLookup.h"
#include "manager/RecordStore.h"
#include "manager/aritemdlg.h"
#include "res/resource.h"
#include "ui/Application.h"
#include "ui/Clipboard.h"

namespace {

constexpr int kFrameWidth = 534, kFrameHeight = 237;
// Posted by a click on a row's check box, so that the switch waits until
// the list is done with the click; the entry waits in clickedSwitches_.
constexpr UINT kSwitchClicked = WM_APP + 1;
// Posted when an in-place rename ends, so that the rename runs once the
// list is done with its edit box; the rename waits in renamed_.
constexpr UINT kRenamed = WM_APP + 4;
// Posted by the row worker's thread when a network lookup has answered.
constexpr UINT kRowAnswered = WM_APP + 2;
// Posted by the change watch when a place on show changed.
constexpr UINT kWatchedChanged = WM_APP + 3;
// Idle work runs on a timer, whose messages come only when no input and
// no other message waits; one slice of it never holds input back long.
constexpr UINT_PTR kIdleTimer = 1;
constexpr UINT kIdleTick = 10;
constexpr std::chrono::milliseconds kIdleSlice{20};
constexpr int kToolBarHeight = 24, kCaptionHeight = 16, kStatusHeight = 19, kSplitterWidth = 6;
const COLORREF kImageBackground = RGB(128, 128, 0);

ui::CreateArgs ChildOf(HWND parent, DWORD style = 0, DWORD exStyle = 0) {
  ui::CreateArgs args;
  args.parent = parent;
  args.style = WS_CHILD | WS_VISIBLE | style;
  args.exStyle = exStyle;
  return args;
}

}  // namespace

TVelmora::TVelmora(HWND parent)
    : worker_(kRowAnswered), watch_(kWatchedChanged), dpi_(ui::DpiOf(parent)) {
  captionFont_.Create(L"MS Sans Serif", Scaled(-11), true);
  ui::CreateArgs args = ChildOf(parent, WS_CLIPCHILDREN | WS_TABSTOP, WS_EX_CONTROLPARENT);
  args.width = Scaled(kFrameWidth);
  args.height = Scaled(kFrameHeight);
  CreateOwn(L"TVelmora", args);
  worker_.PostTo(Handle());
  watch_.PostTo(Handle());
  CreateComponents();
  BindEvents();
  Layout();
}

// The windows go first, while every record they point at still exists.
TVelmora::~TVelmora() {
  if (lookRead_) {
    RememberShown();
    KeepLastLook(look_);
  }
  Destroy();
}

namespace {
LookedEntry LookOf(const TAutoRunItem& row) {
  LookedEntry looked;
  looked.name = row.Name;
  looked.file = row.Kind == EntryKind::File;
  if (!looked.file) looked.command = row.Command;
  looked.stamp = row.FileStamp();
  looked.off = row.SwitchedOff();
  return looked;
}
}  // namespace

void TVelmora::MarkRows(EntryRows& rows) const {
  for (auto& row : rows)
    if (row->Kind != EntryKind::Record) row->Mark = lastLook_.MarkOf(row->Node->Location, LookOf(*row));
}

void TVelmora::RememberShown() {
  std::unordered_map<const TAutoRunNode*, std::vector<LookedEntry>*> shown;
  for (const TAutoRunNode* node : shownNodes_) {
    if (node->ListsRecords || node->Location.empty()) continue;
    auto& entries = look_[node->Location];
    entries.clear();
    shown[node] = &entries;
  }
  rows_.ForEach([&](const TAutoRunItem& row) {
    const auto entries = shown.find(row.Node);
    if (entries != shown.end()) entries->second->push_back(LookOf(row));
  });
}

void TVelmora::CreateComponents() {
  const int pictures = ui::PictureSize(dpi_);
  imgToolBar.LoadStrip(ui::TheApplication->Instance(),
                       pictures == 32 ? IDB_TOOLBAR_200 : pictures == 24 ? IDB_TOOLBAR_150 : IDB_TOOLBAR, pictures,
                       kImageBackground);

  tbrCommands.Create(ChildOf(Handle()), imgToolBar.Get());
  tbrCommands.AddButton(tbAdd, imgAdd);
  tbrCommands.AddButton(tbChange, imgChange);
  tbrCommands.AddButton(tbDelete, imgDelete);
  tbrCommands.AddSeparator(tbSeparator, Scaled(8));
  tbrCommands.AddButton(tbRefresh, imgRefresh);
  tbrCommands.AddSeparator(tbInfoSeparator, Scaled(8), true);
  tbrCommands.AddButton(tbInfo, imgInformation);
  tbrCommands.SetHidden(tbInfo, true);

  ui::CreateArgs caption = ChildOf(Handle());
  caption.text = L"You can add new, change or delete existing auto run items.";
  pnlTop.captionFont = captionFont_.Get();
  pnlTop.Create(caption);

  tvAutoRun.Create(ChildOf(Handle(), WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                           WS_EX_CLIENTEDGE));
  tvAutoRun.SetImageList(imgToolBar.Get());
  tvAutoRun.SetIndent(Scaled(19));

  splTree.Create(ChildOf(Handle()));

  lvAutoRun.Create(ChildOf(Handle(), WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                           WS_EX_CLIENTEDGE));
  // A check box on the rows Windows' startup settings cover: checked when
  // Windows will start the entry.
  lvAutoRun.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
  lvAutoRun.SetSmallImages(imgToolBar.Get());
  lvAutoRun.AddColumn(L"Name", Scaled(100));
  lvAutoRun.AddColumn(L"Path", Scaled(270));
  lvAutoRun.AddColumn(L"Publisher", Scaled(120));
  lvAutoRun.AddColumn(L"Description", Scaled(160));
  lvAutoRun.SetPopupMenu(&pmAutoRun);

  StatusBar.Create(ChildOf(Handle()));
  StatusBar.SetPanels({Scaled(350), Scaled(150), Scaled(50)});

  pmAutoRun.AddItem(miAdd, L"Add new");
  pmAutoRun.AddItem(miChange, L"Change");
  pmAutoRun.AddItem(miDelete, L"Delete");
  pmAutoRun.AddItem(miSwitch, L"Disable");
  pmAutoRun.AddItem(miUndo, L"Undo");
  pmAutoRun.AddItem(miRestore, L"Restore");
  pmAutoRun.AddItem(miExport, L"Export...");
  pmAutoRun.AddItem(miProperties, L"Properties");
}

// The form description's bindings, by handler name.
void TVelmora::BindEvents() {
  tbAdd.OnClick = [this] { miAddClick(); };
  tbChange.OnClick = [this] { miChangeClick(); };
  tbDelete.OnClick = [this] { miDeleteClick(); };
  tbRefresh.OnClick = [this] { tbRefreshClick(); };
  miAdd.OnClick = [this] { miAddClick(); };
  miChange.OnClick = [this] { miChangeClick(); };
  miDelete.OnClick = [this] { miDeleteClick(); };
  miSwitch.OnClick = [this] { miSwitchClick(); };
  miUndo.OnClick = [this] { miUndoClick(); };
  miRestore.OnClick = [this] { miRestoreClick(); };
  miExport.OnClick = [this] { miExportClick(); };
  miProperties.OnClick = [this] { ShowProperties(); };
  lvAutoRun.OnCheckClick = [this](ui::ListView::CheckClickEvent& event) { lvAutoRunCheckClick(event.item); };
  pmAutoRun.OnPopup = [this] { pmAutoRunPopup(); };
  tvAutoRun.OnSelectionChanged = [this](ui::TreeView::SelectionChangedEvent& event) { tvAutoRunChange(event.node); };
  lvAutoRun.OnItemChanged = [this](ui::ListView::ItemChangedEvent& event) { lvAutoRunChange(event.item); };
  lvAutoRun.OnDoubleClick = [this](ui::ListView::DoubleClickEvent& event) { lvAutoRunDblClick(event.item); };
  lvAutoRun.OnColumnClick = [this](ui::ListView::ColumnClickEvent& event) { lvAutoRunColumnClick(event.column); };
  lvAutoRun.OnBeginLabelEdit = [this](ui::ListView::LabelEditEvent& event) {
    const TAutoRunItem* item = rows_.At(event.item);
    event.allow = item && item->Kind == EntryKind::RegistryValue && EntryRef::Of(*item).Addressable();
  };
  lvAutoRun.OnEndLabelEdit = [this](ui::ListView::LabelEditEvent& event) {
    const TAutoRunItem* item = rows_.At(event.item);
    if (!item || !event.text) return;
    renamed_ = std::make_pair(EntryRef::Of(*item), std::wstring(event.text));
    PostMessageW(Handle(), kRenamed, 0, 0);
  };
  splTree.OnMoved = [this](ui::Splitter::MoveEvent& event) { SetTreeWidth(event.leftWidth); };
}

void TVelmora::SetTreeWidth(int width) {
  treeWidth_ = width;
  Layout();
}

void TVelmora::Layout() {
  const RECT client = ClientRect();
  const int width = client.right, height = client.bottom;
  const int toolBar = Scaled(kToolBarHeight), caption = Scaled(kCaptionHeight), status = Scaled(kStatusHeight),
            splitter = Scaled(kSplitterWidth);
  const int bandTop = toolBar + caption;
  const int band = std::max(0, height - bandTop - status);
  tbrCommands.SetBounds(0, 0, width, toolBar);
  pnlTop.SetBounds(0, toolBar, width, caption);
  tvAutoRun.SetBounds(0, bandTop, treeWidth_, band);
  splTree.SetBounds(treeWidth_, bandTop, splitter, band);
  const int listLeft = treeWidth_ + splitter;
  lvAutoRun.SetBounds(listLeft, bandTop, std::max(0, width - listLeft), band);
  StatusBar.SetBounds(0, height - status, width, status);
}

LRESULT TVelmora::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    Layout();
    return 0;
  }
  if (message == kRowAnswered) {
    // The answers may move rows sorted by what they brought.
    if (rows_.CollectAnswers(lvAutoRun.SelectedIndex())) lvAutoRunChange(lvAutoRun.SelectedIndex());
    return 0;
  }
  if (message == kWatchedChanged) {
    WatchedChanged();
    return 0;
  }
  if (message == WM_TIMER && wParam == kIdleTimer) {
    IdleWork();
    return 0;
  }
  if (message == kRenamed) {
    if (!renamed_) return 0;
    const auto [entry, name] = *renamed_;
    renamed_.reset();
    const TAutoRunItem* item = rows_.At(rows_.Find(entry));
    if (item && name != entry.name) ChangeTo(entry, name, item->Command);
    return 0;
  }
  if (message == kSwitchClicked) {
    if (clickedSwitches_.empty()) return 0;
    const EntryRef entry = clickedSwitches_.front();
    clickedSwitches_.pop_front();
    SwitchEntry(entry);
    return 0;
  }
  return DefaultHandler(message, wParam, lParam);
}

void TVelmora::StartIdleWork() { SetTimer(Handle(), kIdleTimer, kIdleTick, nullptr); }

void TVelmora::IdleWork() {
  if (rows_.SettleSome(std::chrono::steady_clock::now() + kIdleSlice)) KillTimer(Handle(), kIdleTimer);
}

TVelmora::CommandStates TVelmora::CommandRule() const {
  const TAutoRunNode* node = NodeItem(tvAutoRun.Selected());
  const TAutoRunItem* entry = rows_.At(lvAutoRun.SelectedIndex());
  CommandStates states;
  states.add = node && node->AllowsAdd;
  states.change = entry && entry->Kind == EntryKind::RegistryValue;
  states.remove = entry != nullptr;
  return states;
}

void TVelmora::ApplyRuleToToolBar() {
  const CommandStates states = CommandRule();
  tbAdd.SetEnabled(states.add);
  tbChange.SetEnabled(states.change);
  tbDelete.SetEnabled(states.remove);
}

void TVelmora::InitManager() {
  look_ = ReadLastLook();
  lastLook_ = LastLookIndex(look_);
  lookRead_ = true;
  ReloadAll();
}

void TVelmora::BuildLocationTree() {
  LoadingScope loading(*this);
  HTREEITEM root = nullptr;
  // What the commands removed or replaced stays reachable, also when the
  // catalogue could not be read whole.
  const auto addRemovedNode = [this] {
    auto removed = std::make_unique<TAutoRunNode>();
    removed->Location = RecordFolder();
    removed->ListsRecords = true;
    if (tvAutoRun.Add(nullptr, L"REMOVED", imgFolder, imgFolder, removed.get())) nodeRecords_.push_back(std::move(removed));
  };
  try {
    ForEachCatalogueNode([&](const CatalogueNode& node) {
      auto record = std::make_unique<TAutoRunNode>();
      record->Location = node.location;
      record->AllowsAdd = node.allowsAdd;
      record->SwitchLocation = node.switchLocation;
      const HTREEITEM item =
          tvAutoRun.Add(node.isRoot ? nullptr : root, node.caption, imgFolder, imgFolder, record.get());
      if (!item) return;
      nodeRecords_.push_back(std::move(record));
      if (!node.isRoot) return;
      root = item;
      // The user's root is selected; without it, no node is.
      if (SplitRegistryLocation(node.location).root == RegistryRoot::CurrentUser) tvAutoRun.Select(item);
    });
  } catch (...) {
    addRemovedNode();
    throw;
  }
  addRemovedNode();
}

void TVelmora::ClearTree() {
  tvAutoRun.DeleteAll();
  nodeRecords_.clear();
}

// The selected node and entry stay selected when they still exist.
void TVelmora::ReloadAll() {
  const TAutoRunNode* selectedNode = NodeItem(tvAutoRun.Selected());
  const std::wstring location = selectedNode ? selectedNode->Location : std::wstring();
  const std::optional<EntryRef> entry = SelectedEntry();
  const int selectedRow = lvAutoRun.SelectedIndex();
  {
    LoadingScope loading(*this);
    RememberShown();
    shownNodes_.clear();
    // Rows refer to the nodes' records: the rows go first.
    rows_.Clear();
    ClearTree();
    try {
      BuildLocationTree();
    } catch (...) {
      // The commands follow what the tree shows selected, not the node
      // listed before.
      const TAutoRunNode* node = NodeItem(tvAutoRun.Selected());
      CurrentLocation = node ? node->Location : std::wstring();
      ApplyRuleToToolBar();
      throw;
    }
    if (!location.empty())
      for (HTREEITEM node = tvAutoRun.Root(); node; node = tvAutoRun.NextInOrder(node))
        if (NodeItem(node) && NodeItem(node)->Location == location) {
          tvAutoRun.Select(node);
          break;
        }
  }
  tvAutoRunChange(tvAutoRun.Selected());
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

void TVelmora::ListSelectedNode() {
  shownNodes_ = LocationsOf(tvAutoRun.Selected());
  Listing listing = ListLocations(shownNodes_);
  MarkRows(listing.rows);
  rows_.Append(listing.rows);
  StartIdleWork();
  if (listing.error) std::rethrow_exception(listing.error);
}

void TVelmora::tvAutoRunChange(HTREEITEM node) {
  if (loading_) return;
  RememberShown();
  shownNodes_.clear();
  // Cleared with redrawing on: one removal of all rows, which the list
  // settles at once; turned off and on around it, it lays itself out again.
  rows_.Clear();
  if (!node) return;
  // However the listing ends, the status bar and the buttons follow the
  // row selected (or none).
  struct Guard {
    TVelmora* frame;
    ~Guard() { frame->lvAutoRunChange(frame->lvAutoRun.SelectedIndex()); }
  } guard{this};
  const TAutoRunNode* item = NodeItem(node);
  if (!item || item->Location.empty()) return;
  StatusBar.SetText(0, ShownLocation(item->Location));
  CurrentLocation = item->Location;
  stamps_.clear();
  TakeStamps();
  {
    ui::ListUpdateBracket bracket(lvAutoRun);
    ListSelectedNode();
  }
  WatchShownNodes();
  if (rows_.Count() > 0) SelectRow(0);
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
  if (entry && entry->Kind == EntryKind::Record) {
    // Where the entry came from, and what became of it.
    const auto& kept = static_cast<const TRecordRow&>(*entry);
    StatusBar.SetText(0, ShownLocation(kept.Origin));
    StatusBar.SetText(2, kept.Kept == RecordKind::Replaced ? L"Replaced" : L"Removed");
  } else {
    StatusBar.SetText(2, !entry || !entry->Settled() ? L""
                         : entry->Missing()                 ? L"Missing"
                         : entry->SwitchedOff()             ? L"Off"
                         : entry->Mark == EntryMark::New    ? L"New"
                         : entry->Mark == EntryMark::Changed ? L"Changed"
                         : entry->Mark == EntryMark::OnAgain ? L"On again"
                                                             : L"");
  }
  ApplyRuleToToolBar();
}

void TVelmora::pmAutoRunPopup() {
  const CommandStates states = CommandRule();
  miAdd.SetEnabled(states.add);
  miChange.SetEnabled(states.change);
  miDelete.SetEnabled(states.remove);
  const TAutoRunItem* entry = rows_.At(lvAutoRun.SelectedIndex());
  miSwitch.SetCaption(entry && entry->SwitchedOff() ? L"Enable" : L"Disable");
  miSwitch.SetEnabled(entry && entry->HasSwitch());
  miUndo.SetEnabled(!undo_.empty());
  miRestore.SetEnabled(entry && entry->Kind == EntryKind::Record);
  miExport.SetEnabled(entry && entry->Kind != EntryKind::Record);
  miProperties.SetEnabled(entry && entry->Kind != EntryKind::Record && !entry->Missing());
}

// The list reports the focus and the selection as they move (and the row
// they leave): the status bar and the buttons follow once, at the end.
void TVelmora::SelectRow(int row) {
  if (row < 0 || row >= rows_.Count()) return;
  {
    const SelectingScope selecting(*this);
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
  Listing listing = ListLocations(LocationsOf(tvAutoRun.Selected()));
  MarkRows(listing.rows);
  rows_.Merge(listing.rows);
  StartIdleWork();
  SelectAfter(select, fallbackRow);
  if (listing.error) std::rethrow_exception(listing.error);
}

// A renamed entry takes the row of the name it left, so that it keeps its
// place. The registry reads a value by any case of its name but keeps one
// case: of two touched names that differ in case only, the later (the one
// the command left) is read.
void TVelmora::UpdateRows(const CommandRun& run, int fallbackRow) {
  const std::vector<const TAutoRunNode*> nodes = LocationsOf(tvAutoRun.Selected());
  const bool listsRecords =
      std::any_of(nodes.begin(), nodes.end(), [](const TAutoRunNode* node) { return node->ListsRecords; });
  if (run.wholeList || listsRecords) {
    TakeStamps();
    return RefreshEntries(run.select, fallbackRow);
  }
  const auto nodeOf = [&](const EntryRef& entry) -> const TAutoRunNode* {
    if (entry.kind == EntryKind::Record || !entry.Addressable()) return nullptr;
    for (const TAutoRunNode* node : nodes)
      if (node->Location == entry.location) return node;
    return nullptr;
  };
  std::optional<EntryRef> vacated;
  for (size_t at = 0; at < run.touched.size(); ++at) {
    const EntryRef& entry = run.touched[at];
    const TAutoRunNode* node = nodeOf(entry);
    if (!node) continue;
    const bool readLater = std::any_of(run.touched.begin() + static_cast<std::ptrdiff_t>(at) + 1, run.touched.end(),
                                       [&](const EntryRef& later) {
                                         return later.location == entry.location && SameName(later.name, entry.name);
                                       });
    std::unique_ptr<TAutoRunItem> record = readLater ? nullptr : ReadEntry(*node, entry.name);
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
  TakeStamps();
  StartIdleWork();
  SelectAfter(run.select, fallbackRow);
}

bool TVelmora::TakeStamps() {
  bool changed = false;
  for (const TAutoRunNode* node : LocationsOf(tvAutoRun.Selected())) {
    const std::uint64_t stamp = StampOfLocation(*node);
    const auto known = stamps_.find(node);
    changed = changed || known == stamps_.end() || known->second != stamp;
    stamps_[node] = stamp;
  }
  return changed;
}

void TVelmora::WatchShownNodes() {
  WatchedPlaces places;
  for (const TAutoRunNode* node : LocationsOf(tvAutoRun.Selected())) {
    if (node->ListsRecords || node->Location.empty()) continue;
    (IsFolderLocation(node->Location) ? places.folders : places.keys).push_back(node->Location);
    if (!node->SwitchLocation.empty() &&
        std::find(places.keys.begin(), places.keys.end(), node->SwitchLocation) == places.keys.end())
      places.keys.push_back(node->SwitchLocation);
  }
  watch_.Watch(places);
}

// Another program changed a place on show (or the watch began): listed
// again only when a stamp differs, so a command's own writes cost nothing
// here. A listing that fails shows what it listed; the next change or
// Refresh says more.
void TVelmora::WatchedChanged() {
  watch_.Acknowledge();
  if (loading_ || !TakeStamps()) return;
  ++watchedRelists_;
  try {
    RefreshEntries(SelectedEntry(), lvAutoRun.SelectedIndex());
  } catch (...) {
  }
}

void TVelmora::RunCommand(const std::function<void(CommandRun&)>& command) {
  const int selectedRow = lvAutoRun.SelectedIndex();
  CommandRun run;
  run.select = SelectedEntry();
  std::exception_ptr failure;
  try {
    command(run);
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    UpdateRows(run, selectedRow);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

void TVelmora::RunUndoable(const std::function<void(CommandRun&, UndoStep&)>& command) {
  RunCommand([&](CommandRun& run) {
    UndoStep step;
    command(run, step);
    undo_.push_back(std::move(step));
  });
}

std::optional<EntryRef> TVelmora::NeighbourOf(int first, int last) const {
  const TAutoRunItem* neighbour = rows_.At(last + 1 < rows_.Count() ? last + 1 : first - 1);
  return neighbour ? std::optional<EntryRef>(EntryRef::Of(*neighbour)) : std::nullopt;
}

// Only into the location the tree shows selected, as it was when the
// user asked: the dialog may take its time.
void TVelmora::AddEntry() {
  const TAutoRunNode* selected = NodeItem(tvAutoRun.Selected());
  if (!selected || !selected->AllowsAdd) return;
  const TAutoRunNode node = *selected;
  TAutoRunItemDlg dialog;
  if (dialog.ShowModal() != ui::ModalResult::Ok) return;
  AddAs(node, dialog.NameText(), dialog.PathText());
}

void TVelmora::AddAs(const TAutoRunNode& node, const std::wstring& name, const std::wstring& path) {
  RunUndoable([&](CommandRun& run, UndoStep& step) {
    run.select = ::AddEntry(node, name, path, &step);
    run.touched.push_back(*run.select);
  });
}

void TVelmora::ChangeEntry(int row) {
  const TAutoRunItem* item = rows_.At(row);
  if (!item || item->Kind != EntryKind::RegistryValue) return;
  const EntryRef entry = EntryRef::Of(*item);
  RequireAddressable(entry);
  TAutoRunItemDlg dialog;
  dialog.SetNameText(entry.name);
  dialog.SetPathText(item->Command);
  if (dialog.ShowModal() != ui::ModalResult::Ok) return;
  ChangeTo(entry, dialog.NameText(), dialog.PathText());
}

void TVelmora::ChangeTo(const EntryRef& entry, const std::wstring& newName, const std::wstring& newPath) {
  RunUndoable([&](CommandRun& run, UndoStep& step) {
    run.touched.push_back(entry);
    run.select = ::ChangeEntry(entry, newName, newPath, &step);
    run.touched.push_back(*run.select);
  });
}

// Each selected entry in turn, each its own undo step; the first that
// fails stops the rest and is named in the message (it is left whole).
// Then the neighbour in the same list takes the selection: the row below
// the last selected, else the one above the first.
void TVelmora::DeleteEntry() {
  const std::vector<int> rows = SelectedRows();
  const TAutoRunItem* item = rows_.At(rows.empty() ? -1 : rows.front());
  if (!item) return;
  if (item->Kind == EntryKind::Record) return DiscardEntry(rows.front());
  std::vector<EntryRef> entries;
  for (int row : rows)
    if (rows_.At(row)->Kind != EntryKind::Record) entries.push_back(EntryRef::Of(*rows_.At(row)));
  const std::optional<EntryRef> next = NeighbourOf(rows.front(), rows.back());
  RunCommand([&](CommandRun& run) {
    EachInTurn(entries, run, [](const EntryRef& entry, UndoStep& step) { ::DeleteEntry(entry, &step); });
    run.select = next;
  });
}

// The failure's message names the entry it stopped at: with several
// selected, the user must learn which one it was.
void TVelmora::EachInTurn(const std::vector<EntryRef>& entries, CommandRun& run,
                          const std::function<void(const EntryRef&, UndoStep&)>& act) {
  for (size_t at = 0; at < entries.size(); ++at) {
    const EntryRef& entry = entries[at];
    run.touched.push_back(entry);
    run.select = entry;
    UndoStep step;
    try {
      act(entry, step);
    } catch (const EVelmoraError& error) {
      if (entries.size() == 1) throw;
      std::string text = FormatMessageText("Stopped at '%s': ", ShownName(entry.name)) + error.what();
      if (at + 1 < entries.size()) text += "\nThe entries after it were left as they were.";
      throw EVelmoraError(text, error.Code());
    }
    undo_.push_back(std::move(step));
  }
}

std::vector<int> TVelmora::SelectedRows() const {
  std::vector<int> rows;
  for (int row = -1; (row = lvAutoRun.NextSelected(row)) >= 0;) rows.push_back(row);
  return rows;
}

// The entry is found again by its identity: the row clicked may have gone
// or moved since.
void TVelmora::SwitchEntry(const EntryRef& entry) {
  const TAutoRunItem* item = rows_.At(rows_.Find(entry));
  if (!item || !item->HasSwitch()) return;
  const bool on = item->SwitchedOff();
  RunUndoable([&](CommandRun& run, UndoStep& step) {
    run.touched.push_back(entry);
    ::SwitchEntry(entry, on, &step);
  });
}

void TVelmora::lvAutoRunCheckClick(int item) {
  const TAutoRunItem* entry = rows_.At(item);
  if (!entry || !entry->HasSwitch()) return;
  clickedSwitches_.push_back(EntryRef::Of(*entry));
  PostMessageW(Handle(), kSwitchClicked, 0, 0);
}

// Every selected entry that has a switch goes the way the popup's caption
// says (the first selected entry's opposite), in turn, stopping at the
// first that fails.
void TVelmora::miSwitchClick() {
  const std::vector<int> rows = SelectedRows();
  if (rows.size() <= 1) {
    if (const std::optional<EntryRef> entry = SelectedEntry()) SwitchEntry(*entry);
    return;
  }
  const bool on = rows_.At(rows.front())->SwitchedOff();
  std::vector<EntryRef> entries;
  for (int row : rows)
    if (rows_.At(row)->HasSwitch() && rows_.At(row)->SwitchedOff() == on) entries.push_back(EntryRef::Of(*rows_.At(row)));
  const std::optional<EntryRef> selected = SelectedEntry();
  RunCommand([&](CommandRun& run) {
    EachInTurn(entries, run, [on](const EntryRef& entry, UndoStep& step) { ::SwitchEntry(entry, on, &step); });
    run.select = selected;
  });
}

// A step that cannot be taken back goes all the same, so that the next
// undo reaches the command before it; what it removed stays in its record.
void TVelmora::UndoLast() {
  if (undo_.empty()) return;
  const UndoStep step = std::move(undo_.back());
  undo_.pop_back();
  RunCommand([&](CommandRun& run) {
    run.touched.push_back(step.entry);
    run.select = ::UndoCommand(step);
    run.touched.push_back(*run.select);
  });
}

void TVelmora::miUndoClick() { UndoLast(); }
void TVelmora::miRestoreClick() { RestoreEntry(); }
void TVelmora::miExportClick() { ExportEntry(); }

// The program is looked up again, as the row was: the row keeps only what
// its columns show. A 32-bit process reaches the native System32 as
// Sysnative (the shell loads libraries, so the redirector stays on).
void TVelmora::ShowProperties() {
  const TAutoRunItem* item = rows_.At(lvAutoRun.SelectedIndex());
  if (!item || item->Kind == EntryKind::Record) return;
  std::wstring program;
  if (item->Kind == EntryKind::File) {
    program = item->FilePath();
  } else {
    const NoCriticalErrorBoxes noBoxes;
    const ProgramLookup lookup;
    const FileSystemRedirectionOff redirectionOff;
    lookup.OfCommand(item->Command, &program);
  }
  if (program.empty())
    throw EVelmoraError(FormatMessageText("The program of '%s' was not found", ShownName(item->Name)));
  HWND owner = GetAncestor(Handle(), GA_ROOT);
  const std::wstring reached = NativeSystemPathHere(program);
  HRESULT shown = ShowShellProperties(owner, reached);
  // The shell's namespace may not know Sysnative (Wine's does not): then
  // the sheet is of the 32-bit system folder's file of that name.
  if (FAILED(shown) && reached != program) shown = ShowShellProperties(owner, program);
  if (FAILED(shown) && shown != HRESULT_FROM_WIN32(ERROR_CANCELLED))
    throw EVelmoraError(FormatMessageText("Cannot show the properties of '%s'", program), shown);
}

void TVelmora::ExportEntry() {
  const std::optional<EntryRef> entry = SelectedEntry();
  if (!entry || entry->kind == EntryKind::Record) return;
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring suggested = L"Velmora export.reg";
  suggested.copy(file.data(), suggested.size());
  OPENFILENAMEW save{};
  save.lStructSize = sizeof save;
  save.hwndOwner = GetAncestor(Handle(), GA_ROOT);
  save.lpstrFilter = L"Registration files\0*.reg\0All files\0*.*\0";
  save.lpstrFile = file.data();
  save.nMaxFile = static_cast<DWORD>(file.size());
  save.lpstrDefExt = L"reg";
  // The host's current folder stays its own.
  save.Flags = OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetSaveFileNameW(&save)) return;
  ExportEntries({*entry}, file.data());
}

// The restored entry leaves "REMOVED": its neighbour takes the selection.
void TVelmora::RestoreEntry() {
  const int row = lvAutoRun.SelectedIndex();
  const TAutoRunItem* item = rows_.At(row);
  if (!item || item->Kind != EntryKind::Record) return;
  const std::wstring record = static_cast<const TRecordRow*>(item)->Record;
  const std::optional<EntryRef> next = NeighbourOf(row);
  RunCommand([&](CommandRun& run) {
    run.wholeList = true;
    RestoreRecord(record);
    run.select = next;
  });
}

void TVelmora::DiscardEntry(int row) {
  const auto* item = static_cast<const TRecordRow*>(rows_.At(row));
  const std::wstring record = item->Record, name = item->Name;
  const std::wstring question =
      L"Delete the copy of '" + ShownName(name) + L"' for good? It cannot be restored afterwards.";
  if (MessageBoxW(GetAncestor(Handle(), GA_ROOT), question.c_str(), L"Velmora", MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  const std::optional<EntryRef> next = NeighbourOf(row);
  RunCommand([&](CommandRun& run) {
    run.wholeList = true;
    if (!DiscardRecord(record))
      throw EVelmoraError(FormatMessageText("Failed to delete the copy of '%s'", ShownName(name)),
                          static_cast<long>(GetLastError()));
    run.select = next;
  });
}
void TVelmora::tbRefreshClick() { ReloadAll(); }

void TVelmora::RenameInPlace() {
  const int row = lvAutoRun.SelectedIndex();
  if (row >= 0) lvAutoRun.EditLabel(row);
}

void TVelmora::CopySelected() {
  std::wstring text;
  for (int row = -1; (row = lvAutoRun.NextSelected(row)) >= 0;) {
    const TAutoRunItem* item = rows_.At(row);
    if (!item) continue;
    if (!text.empty()) text += L"\r\n";
    text += ShownName(item->Name) + L"\t" + item->ShownPath();
  }
  if (!text.empty()) ui::CopyTextToClipboard(GetAncestor(Handle(), GA_ROOT), text);
}
void TVelmora::miAddClick() { AddEntry(); }
void TVelmora::miChangeClick() { ChangeEntry(lvAutoRun.SelectedIndex()); }
void TVelmora::miDeleteClick() { DeleteEntry(); }

// The row clicked, whatever was selected before.
// A header click sorts by its column, a second click on it reverses.
void TVelmora::lvAutoRunColumnClick(int column) {
  RowOrder order = rows_.Order();
  order.ascending = order.column != column || !order.ascending;
  order.column = column;
  rows_.SortBy(order);
  const int selected = lvAutoRun.SelectedIndex();
  if (selected >= 0) lvAutoRun.EnsureVisible(selected);
}

void TVelmora::lvAutoRunDblClick(int item) {
  const TAutoRunItem* entry = rows_.At(item);
  if (!entry || entry->Kind != EntryKind::RegistryValue) return;
  SelectRow(item);
  ChangeEntry(item);
}
