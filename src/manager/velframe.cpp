#include "manager/velframe.h"

#include <commdlg.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "common/FileTools.h"
#include "common/Names.h"
#include "common/ScreenCursor.h"
#include "common/ShellProperties.h"
#include "manager/EntryCommands.h"
#include "manager/GoTo.h"
#include "manager/ListSaving.h"
#include "manager/Location.h"
#include "manager/LocationCatalogue.h"
#include "manager/ProgramLookup.h"
#include "manager/Publisher.h"
#include "manager/RecordStore.h"
#include "common/Errors.h"
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
// Posted by the signature worker's thread when programs were verified.
constexpr UINT kSignaturesAnswered = WM_APP + 5;
// Idle work runs on a timer, whose messages come only when no input and
// no other message waits; one slice of it never holds input back long.
constexpr UINT_PTR kIdleTimer = 1;
constexpr UINT kIdleTick = 10;
constexpr std::chrono::milliseconds kIdleSlice{20};
constexpr int kToolBarHeight = 24, kCaptionHeight = 16, kStatusHeight = 19, kSplitterWidth = 6;
const COLORREF kImageBackground = RGB(128, 128, 0);
const wchar_t kUsualCaption[] = L"You can add new, change or delete existing auto run items.";

ui::CreateArgs ChildOf(HWND parent, DWORD style = 0, DWORD exStyle = 0) {
  ui::CreateArgs args;
  args.parent = parent;
  args.style = WS_CHILD | WS_VISIBLE | style;
  args.exStyle = exStyle;
  return args;
}

}  // namespace

TVelmora::TVelmora(HWND parent)
    : worker_(kRowAnswered, kSignaturesAnswered), watch_(kWatchedChanged), dpi_(ui::DpiOf(parent)) {
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
// A row whose record is being disposed of gives its texts up.
template <class Row>
LookedEntry LookOf(Row&& row) {
  LookedEntry looked;
  looked.file = row.Kind == EntryKind::File;
  looked.stamp = row.FileStamp();
  looked.off = row.SwitchedOff();
  looked.name = std::forward<Row>(row).Name;
  if (!looked.file) looked.command = std::forward<Row>(row).Command;
  return looked;
}
}  // namespace

void TVelmora::MarkRows(EntryRows& rows) const {
  const TAutoRunNode* node = nullptr;
  std::wstring location;
  for (auto& row : rows) {
    if (row->Kind == EntryKind::Record) continue;
    if (row->Node != node) location = (node = row->Node)->Location.Text();
    if (!own_.empty() && own_.count(location + L'\\' + FoldedName(row->Name))) continue;
    row->Mark = lastLook_.MarkOf(location, row->Name, row->Command, row->FileStamp(), row->Kind == EntryKind::File,
                                 row->SwitchedOff());
  }
}

// The rows the filter left out are looked at too: what the user did not
// see this time is not new the next.
void TVelmora::RememberShown(EntryRows* leaving) {
  std::unordered_map<const TAutoRunNode*, std::vector<LookedEntry>*> shown;
  for (const TAutoRunNode* node : shownNodes_) {
    if (node->ListsRecords || node->Location.kind == LocationKind::None) continue;
    auto& entries = look_[node->Location.Text()];
    entries.clear();
    shown[node] = &entries;
  }
  const auto entriesOf = [&](const TAutoRunItem& row) {
    const auto entries = shown.find(row.Node);
    return entries == shown.end() ? nullptr : entries->second;
  };
  for (auto& row : filteredOut_)
    if (auto* entries = entriesOf(*row)) entries->push_back(LookOf(*row));
  if (!leaving) {
    rows_.ForEach([&](const TAutoRunItem& row) {
      if (auto* entries = entriesOf(row)) entries->push_back(LookOf(row));
    });
    return;
  }
  for (auto& row : *leaving)
    if (auto* entries = entriesOf(*row)) entries->push_back(LookOf(std::move(*row)));
}

void TVelmora::ClearShownRows() {
  EntryRows leaving = rows_.Clear();
  RememberShown(&leaving);
  shownNodes_.clear();
  filteredOut_.clear();
}

void TVelmora::CreateComponents() {
  const int pictures = ui::PictureSize(dpi_);
  imgToolBar.LoadStrip(ui::TheApplication->Instance(),
                       pictures == 32 ? IDB_TOOLBAR_200 : pictures == 24 ? IDB_TOOLBAR_150 : IDB_TOOLBAR, pictures,
                       kImageBackground);
  imgToolBar.AddFaded(imgProgram, GetSysColor(COLOR_WINDOW));

  tbrCommands.Create(ChildOf(Handle()), imgToolBar.Get());
  tbrCommands.AddButton(tbAdd, imgAdd);
  tbrCommands.AddButton(tbChange, imgChange);
  tbrCommands.AddButton(tbDelete, imgDelete);
  tbrCommands.AddSeparator(tbSeparator, Scaled(8));
  tbrCommands.AddButton(tbRefresh, imgRefresh);
  tbrCommands.AddSeparator(tbHideSeparator, Scaled(8));
  tbrCommands.AddCheckButton(tbHideWindows, imgSkipped);
  tbrCommands.AddSeparator(tbInfoSeparator, Scaled(8), true);
  tbrCommands.AddButton(tbInfo, imgInformation);
  tbrCommands.SetHidden(tbInfo, true);

  ui::CreateArgs caption = ChildOf(Handle());
  caption.text = kUsualCaption;
  pnlTop.captionFont = captionFont_.Get();
  pnlTop.Create(caption);
  // The filter box sits in the caption strip's right end.
  edFilter.Create(ChildOf(Handle(), WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER));
  edFilter.SetCue(L"Filter");

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
  // Wide enough for "(Verified) " and a signer's name.
  lvAutoRun.AddColumn(L"Publisher", Scaled(200));
  lvAutoRun.AddColumn(L"Description", Scaled(160));
  lvAutoRun.SetPopupMenu(&pmAutoRun);

  StatusBar.Create(ChildOf(Handle()));
  // The third panel holds the longest reason for a row's mark or its signature.
  StatusBar.SetPanels({Scaled(350), Scaled(150), Scaled(230), Scaled(120)});

  for (ui::MenuItem* item :
       {&miAdd, &miChange, &miDelete, &miSwitch, &miDefault, &miUndo, &miRestore, &miExport, &miProperties,
        &miFileLocation, &miRegistryEditor, &miHideWindows, &miSaveList})
    for (const CommandInfo& info : Commands())
      if (info.menuId == item->Id()) {
        pmAutoRun.AddItem(*item, info.caption);
        break;
      }
}

// The form description's bindings, by handler name. A button or a key
// takes the selection as it is when pressed; the popup's items act on
// what the popup was opened on.
void TVelmora::BindEvents() {
  const auto now = [this](Command id) { return [this, id] { Execute(id, TakeSelection()); }; };
  const auto opened = [this](Command id) { return [this, id] { Execute(id, popupTaken_); }; };
  tbAdd.OnClick = now(Command::Add);
  tbChange.OnClick = now(Command::Change);
  tbDelete.OnClick = now(Command::Delete);
  tbRefresh.OnClick = now(Command::Refresh);
  miAdd.OnClick = opened(Command::Add);
  miChange.OnClick = opened(Command::Change);
  miDelete.OnClick = opened(Command::Delete);
  miSwitch.OnClick = [this] {
    const TakenEntry* row = popupTaken_.SwitchingRow();
    Execute(row && row->off ? Command::Enable : Command::Disable, popupTaken_);
  };
  miUndo.OnClick = opened(Command::Undo);
  miRestore.OnClick = opened(Command::Restore);
  miExport.OnClick = opened(Command::Export);
  miProperties.OnClick = opened(Command::Properties);
  miDefault.OnClick = opened(Command::PutDefault);
  miSaveList.OnClick = opened(Command::SaveList);
  miHideWindows.OnClick = opened(Command::HideWindows);
  tbHideWindows.OnClick = [this] { SetHideWindowsEntries(!hideWindows_); };
  edFilter.OnChange = [this] { FilterChanged(); };
  edFilter.OnEscape = [this] { edFilter.SetText(std::wstring()); };
  miFileLocation.OnClick = opened(Command::OpenFileLocation);
  miRegistryEditor.OnClick = opened(Command::OpenInRegistryEditor);
  lvAutoRun.OnKeyDown = [this](ui::KeyEvent& event) { lvAutoRunKeyDown(event); };
  lvAutoRun.OnCheckClick = [this](ui::ListView::CheckClickEvent& event) { lvAutoRunCheckClick(event.item); };
  pmAutoRun.OnPopup = [this] { pmAutoRunPopup(); };
  tvAutoRun.OnSelectionChanged = [this](ui::TreeView::SelectionChangedEvent& event) { tvAutoRunChange(event.node); };
  lvAutoRun.OnItemChanged = [this](ui::ListView::ItemChangedEvent& event) { lvAutoRunChange(event.item); };
  lvAutoRun.OnDoubleClick = [this](ui::ListView::DoubleClickEvent& event) { lvAutoRunDblClick(event.item); };
  lvAutoRun.OnColumnClick = [this](ui::ListView::ColumnClickEvent& event) { lvAutoRunColumnClick(event.column); };
  // The edit opens only from F2, which took its entry first.
  lvAutoRun.OnBeginLabelEdit = [this](ui::ListView::LabelEditEvent& event) { event.allow = editing_.has_value(); };
  lvAutoRun.OnEndLabelEdit = [this](ui::ListView::LabelEditEvent& event) {
    const std::optional<EntryRef> entry = std::move(editing_);
    editing_.reset();
    if (entry && event.text) {
      renamed_ = std::make_pair(*entry, std::wstring(event.text));
      PostMessageW(Handle(), kRenamed, 0, 0);
    }
    if (std::exchange(listAfterEdit_, false)) PostMessageW(Handle(), kWatchedChanged, 0, 0);
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
  const int filterWidth = std::min(Scaled(160), width / 3);
  pnlTop.SetBounds(0, toolBar, width - filterWidth, caption);
  edFilter.SetBounds(width - filterWidth, toolBar, filterWidth, caption);
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
  if (message == kSignaturesAnswered) {
    if (!rows_.CollectSignatures()) return 0;
    // An answer may leave out a row shown, or bring in one left out.
    bool moves = false;
    if (hideWindows_ || !filter_.empty()) {
      rows_.ForEach([&](TAutoRunItem& row) { moves = moves || !Shows(row); });
      for (const auto& row : filteredOut_) moves = moves || Shows(*row);
    }
    if (moves) {
      try {
        ListAgainWhenFree();
      } catch (...) {
      }
    }
    lvAutoRunChange(lvAutoRun.SelectedIndex());
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
    RenameTo(entry, name);
    return 0;
  }
  if (message == kSwitchClicked) {
    if (clickedSwitches_.empty()) return 0;
    const auto [entry, on] = clickedSwitches_.front();
    clickedSwitches_.pop_front();
    TakenEntries taken;
    TakenEntry clicked;
    clicked.ref = entry;
    clicked.hasSwitch = true;
    clicked.off = !on;
    taken.rows.push_back(clicked);
    SwitchEntries(taken, on);
    return 0;
  }
  return DefaultHandler(message, wParam, lParam);
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

void TVelmora::StartIdleWork() { SetTimer(Handle(), kIdleTimer, kIdleTick, nullptr); }

// The listing owed after a command comes first, once the command's rows
// have been painted (timer messages come after painting).
void TVelmora::IdleWork() {
  if (relistOwed_ && !editing_ && !loading_) {
    relistOwed_ = false;
    try {
      MergeKeepingView();
    } catch (...) {
    }
  }
  if (rows_.SettleSome(std::chrono::steady_clock::now() + kIdleSlice)) KillTimer(Handle(), kIdleTimer);
}

// Runs at every selection change: with thousands of rows selected, taking
// each of them here would cost the square of their number.
void TVelmora::ApplyRuleToToolBar() {
  const TakenEntries taken = TakeSelection(false);
  tbAdd.SetEnabled(Enabled(Command::Add, taken));
  tbChange.SetEnabled(Enabled(Command::Change, taken));
  tbDelete.SetEnabled(Enabled(Command::Delete, taken));
}

void TVelmora::InitManager() {
  RecountRecords();
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
    removed->Location = Location::Folder(RecordFolder());
    removed->ListsRecords = true;
    if (tvAutoRun.Add(nullptr, L"REMOVED", imgFolder, imgFolder, removed.get())) nodeRecords_.push_back(std::move(removed));
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
      nodeRecords_.push_back(std::move(record));
      if (!node.isRoot) return;
      root = item;
      // The user's root is selected; without it, no node is.
      if (node.location.root == RegistryRoot::CurrentUser) tvAutoRun.Select(item);
    });
  } catch (...) {
    addRemovedNode();
    ReadSkipping();
    throw;
  }
  addRemovedNode();
  // The policies that skip the nodes made, each read once.
  ReadSkipping();
}

void TVelmora::ClearTree() {
  tvAutoRun.DeleteAll();
  nodeRecords_.clear();
}

// The selected node and entry stay selected when they still exist.
void TVelmora::ReloadAll() {
  const TAutoRunNode* selectedNode = NodeItem(tvAutoRun.Selected());
  const Location location = selectedNode ? selectedNode->Location : Location();
  const std::optional<EntryRef> entry = SelectedEntry();
  const int selectedRow = lvAutoRun.SelectedIndex();
  {
    LoadingScope loading(*this);
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
      CurrentLocation = node ? node->Location.Text() : std::wstring();
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

// The shown nodes' rows, marked, and those the filter leaves out set
// aside. What was listed is what the watch compares with: a node the
// listing did not reach has no stamp, so its next notification lists again.
Listing TVelmora::ListShown() {
  const std::vector<const TAutoRunNode*> nodes = LocationsOf(tvAutoRun.Selected());
  Listing listing = ListLocations(nodes);
  stamps_.clear();
  for (size_t at = 0; at < listing.stamps.size(); ++at) stamps_[nodes[at]] = listing.stamps[at];
  MarkRows(listing.rows);
  Filter(listing.rows);
  return listing;
}

void TVelmora::ListSelectedNode() {
  shownNodes_ = LocationsOf(tvAutoRun.Selected());
  Listing listing = ListShown();
  rows_.Append(listing.rows);
  StartIdleWork();
  if (listing.error) std::rethrow_exception(listing.error);
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
  CurrentLocation = item->Location.Text();
  StatusBar.SetText(0, ShownLocation(CurrentLocation));
  ShowSkipping();
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
                         : entry->Skipped()                 ? L"Skipped by policy"
                         : NotWindowsDefault(*entry)        ? L"Not Windows' default"
                         : entry->Mark == EntryMark::New    ? L"New"
                         : entry->Mark == EntryMark::Changed ? L"Changed"
                         : entry->Mark == EntryMark::OnAgain ? L"On again"
                                                             : SignatureText(entry->Facts));
  }
  ApplyRuleToToolBar();
}

// The popup takes the rows it opens on: what its items then do is what
// the user saw, whatever moves in the list meanwhile.
void TVelmora::pmAutoRunPopup() {
  popupTaken_ = TakeSelection();
  const TakenEntries& taken = popupTaken_;
  const TakenEntry* row = taken.SwitchingRow();
  const Command switchTo = row && row->off ? Command::Enable : Command::Disable;
  const std::pair<ui::MenuItem*, Command> items[] = {
      {&miAdd, Command::Add},         {&miChange, Command::Change},   {&miDelete, Command::Delete},
      {&miSwitch, switchTo},          {&miUndo, Command::Undo},       {&miRestore, Command::Restore},
      {&miExport, Command::Export},   {&miProperties, Command::Properties}, {&miDefault, Command::PutDefault},
      {&miSaveList, Command::SaveList},       {&miFileLocation, Command::OpenFileLocation},
      {&miRegistryEditor, Command::OpenInRegistryEditor}, {&miHideWindows, Command::HideWindows}};
  for (const auto& [item, id] : items) item->SetEnabled(Enabled(id, taken));
  miSwitch.SetCaption(InfoOf(switchTo).caption);
  miHideWindows.SetChecked(hideWindows_);
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
  Listing listing = ListShown();
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
  if (run.wholeList || listsRecords) return RefreshEntries(run.select, fallbackRow);
  const auto nodeOf = [&](const EntryRef& entry) -> const TAutoRunNode* {
    if (entry.kind == EntryKind::Record || !entry.Addressable()) return nullptr;
    for (const TAutoRunNode* node : nodes)
      if (entry.In(*node)) return node;
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
    std::wstring rowName;
    entry.In(*node, &rowName);
    std::unique_ptr<TAutoRunItem> record = readLater ? nullptr : ReadEntry(*node, rowName);
    // An entry the filter leaves out goes from the list as one that went,
    // and is kept with the others left out.
    const auto wasLeftOut = std::remove_if(filteredOut_.begin(), filteredOut_.end(),
                                           [&](const auto& row) { return entry.Is(*row); });
    const bool leftOut = record && !Shows(*record);
    const bool countChanged = wasLeftOut != filteredOut_.end() || leftOut;
    filteredOut_.erase(wasLeftOut, filteredOut_.end());
    if (leftOut) filteredOut_.push_back(std::move(record));
    if (countChanged) ShowHiddenCount();
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

void TVelmora::WatchShownNodes(bool again) {
  WatchedPlaces places;
  const auto watchKey = [&](const Location& key) {
    if (std::find(places.keys.begin(), places.keys.end(), key) == places.keys.end()) places.keys.push_back(key);
  };
  for (const TAutoRunNode* node : LocationsOf(tvAutoRun.Selected())) {
    if (node->ListsRecords || node->Location.kind == LocationKind::None) continue;
    if (node->Location.IsFolder())
      places.folders.push_back(node->Location.path);
    else
      places.keys.push_back(node->Location);
    if (!node->SwitchLocation.Empty()) watchKey(node->SwitchLocation);
  }
  // The policies that make Windows skip keys may come and go whatever is
  // shown: every node's mark is read again when they do, so a node
  // selected later shows the policy as it is.
  for (const Location& key : PolicyKeys()) watchKey(key);
  watch_.Watch(places, again);
}

// Another program changed a place on show (or the watch began): listed
// again when a stamp differs, so a command's own writes cost nothing
// here. After each command the places are listed once whatever the
// stamps say (here or in idle time, whichever comes first): another
// program's write just before the command's own is in the stamp the
// command took, and a refused command writes nothing to be told of. A
// listing that fails shows what it listed; the next change or Refresh
// says more.
void TVelmora::WatchedChanged() {
  watch_.Acknowledge();
  if (loading_) return;
  // The list does not move under an open edit box (the control would end
  // the edit): the listing waits for the edit to end.
  if (editing_) {
    listAfterEdit_ = true;
    return;
  }
  if (ReadSkipping()) {
    ShowSkipping();
    InvalidateRect(lvAutoRun.Handle(), nullptr, FALSE);
    lvAutoRunChange(lvAutoRun.SelectedIndex());
  }
  const bool changed = TakeStamps();
  const bool owed = std::exchange(relistOwed_, false);
  if (!changed && !owed) return;
  if (changed) ++watchedRelists_;
  try {
    MergeKeepingView();
  } catch (...) {
  }
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
  StartIdleWork();
  bool anySelected = false;
  {
    const SelectingScope selecting(*this);
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
  for (const EntryRef& entry : run.touched) RememberOwn(entry);
  if (run.select) RememberOwn(*run.select);
  try {
    // A command that was refused put back what it kept: this costs no
    // record then.
    KeepRecordsWithinLimit();
    UpdateRows(run, selectedRow);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  relistOwed_ = true;
  StartIdleWork();
  if (failure) std::rethrow_exception(failure);
}

void TVelmora::RunUndoable(const std::function<bool(CommandRun&, UndoStep&)>& command) {
  RunCommand([&](CommandRun& run) {
    UndoStep step;
    if (command(run, step)) undo_.Push(std::move(step));
  });
}

void TVelmora::RememberOwn(const EntryRef& entry) {
  for (const auto& node : nodeRecords_) {
    std::wstring name;
    if (entry.In(*node, &name)) own_.insert(node->Location.Text() + L'\\' + FoldedName(name));
  }
}

std::optional<EntryRef> TVelmora::NeighbourOf(int first, int last) const {
  const TAutoRunItem* neighbour = rows_.At(last + 1 < rows_.Count() ? last + 1 : first - 1);
  return neighbour ? std::optional<EntryRef>(EntryRef::Of(*neighbour)) : std::nullopt;
}

// The neighbour of the taken rows where they are now.
std::optional<EntryRef> TVelmora::NeighbourOf(const TakenEntries& taken) const {
  int first = -1, last = -1;
  for (const TakenEntry& row : taken.rows) {
    const int at = rows_.Find(row.ref);
    if (at < 0) continue;
    first = first < 0 ? at : std::min(first, at);
    last = std::max(last, at);
  }
  return first < 0 ? std::nullopt : NeighbourOf(first, last);
}

TakenEntry TVelmora::TakeRow(int row) const {
  const TAutoRunItem* item = rows_.At(row);
  TakenEntry taken;
  taken.ref = EntryRef::Of(*item);
  taken.hasSwitch = item->Kind != EntryKind::Record && item->HasSwitch();
  taken.off = item->SwitchedOff();
  taken.missing = item->Missing();
  taken.notDefault = NotWindowsDefault(*item);
  if (item->Facts && !item->Missing()) taken.program = item->Facts->program;
  taken.command = item->Command;
  if (item->Kind == EntryKind::Record) taken.record = static_cast<const TRecordRow*>(item)->Record;
  return taken;
}

TakenEntries TVelmora::TakeSelection(bool whole) const {
  TakenEntries taken;
  const int focused = lvAutoRun.FocusedIndex();
  if (!whole) {
    // The single row alone: what the toolbar's rules ask of a selection.
    const int row = focused >= 0 && lvAutoRun.IsSelected(focused) ? focused : lvAutoRun.SelectedIndex();
    if (row >= 0) {
      taken.rows.push_back(TakeRow(row));
      taken.single = 0;
    }
  }
  for (int row = whole ? lvAutoRun.NextSelected(-1) : -1; row >= 0; row = lvAutoRun.NextSelected(row)) {
    if (row == focused) taken.single = static_cast<int>(taken.rows.size());
    taken.rows.push_back(TakeRow(row));
  }
  if (taken.single < 0 && !taken.rows.empty()) taken.single = 0;
  if (const TAutoRunNode* node = NodeItem(tvAutoRun.Selected())) taken.node = *node;
  taken.canUndo = !undo_.Empty();
  return taken;
}

void TVelmora::Execute(Command id, const TakenEntries& taken) {
  if (!Enabled(id, taken)) return;
  const TakenEntry* one = taken.Single();
  switch (id) {
    case Command::Add:
      return AddEntry(*taken.node);
    case Command::Change:
      return ChangeEntry(*one);
    case Command::Delete:
      return taken.AllRecords() ? DiscardEntries(taken) : DeleteEntries(taken);
    case Command::Enable:
      return SwitchEntries(taken, true);
    case Command::Disable:
      return SwitchEntries(taken, false);
    case Command::Undo:
      return UndoLast();
    case Command::Restore:
      return RestoreEntries(taken);
    case Command::Export:
      return ExportEntry(one->ref);
    case Command::Properties:
      return ShowProperties(one->ref);
    case Command::Refresh:
      return ReloadAll();
    case Command::Copy:
      return CopyRows(taken);
    case Command::Rename:
      return RenameInPlace(*one);
    case Command::PutDefault:
      return PutDefaultBack(one->ref);
    case Command::SaveList:
      return SaveList();
    case Command::HideWindows:
      return SetHideWindowsEntries(!hideWindows_);
    case Command::OpenFileLocation:
      return ShowFileInFolder(one->program);
    case Command::OpenInRegistryEditor:
      return OpenInRegistryEditor(one->ref.location);
  }
}

void TVelmora::lvAutoRunKeyDown(ui::KeyEvent& event) {
  const std::optional<Command> id = CommandOfKey(event.key, event.ctrl, event.shift, event.alt);
  if (!id) return;
  event.key = 0;
  Execute(*id, TakeSelection());
}

// Into the location the tree showed selected when the user asked: the
// dialog may take its time.
void TVelmora::AddEntry(const TAutoRunNode& node) {
  if (!node.AllowsAdd) return;
  TAutoRunItemDlg dialog;
  if (dialog.ShowModal() != ui::ModalResult::Ok) return;
  AddAs(node, dialog.NameText(), dialog.PathText());
}

void TVelmora::AddAs(const TAutoRunNode& node, const std::wstring& name, const std::wstring& path) {
  RunUndoable([&](CommandRun& run, UndoStep& step) {
    run.select = ::AddEntry(node, name, path, &step);
    run.touched.push_back(*run.select);
    return true;
  });
}

void TVelmora::ChangeEntry(const TakenEntry& entry) {
  if (entry.ref.kind != EntryKind::RegistryValue) return;
  RequireAddressable(entry.ref);
  TAutoRunItemDlg dialog;
  dialog.SetNameText(entry.ref.name);
  dialog.SetPathText(entry.command);
  if (dialog.ShowModal() != ui::ModalResult::Ok) return;
  ChangeTo(entry.ref, dialog.NameText(), dialog.PathText());
}

void TVelmora::ChangeTo(const EntryRef& entry, const std::wstring& newName, const std::wstring& newPath) {
  RunUndoable([&](CommandRun& run, UndoStep& step) {
    run.touched.push_back(entry);
    run.select = ::ChangeEntry(entry, newName, newPath, &step);
    run.touched.push_back(*run.select);
    return true;
  });
}

bool TVelmora::Shows(TAutoRunItem& row) {
  if (!hideWindows_ && filter_.empty()) return true;
  if (row.Kind != EntryKind::Record) worker_.Settle(row);
  // A row that is not Windows' default is never Windows' own, whoever
  // signed what it starts.
  if (hideWindows_ && row.Kind != EntryKind::Record && SignedByWindows(row.Facts) && !NotWindowsDefault(row))
    return false;
  if (filter_.empty()) return true;
  const auto has = [&](const std::wstring& text) { return FoldedName(text).find(filter_) != std::wstring::npos; };
  if (has(ShownTitle(row)) || has(row.ShownPath())) return true;
  return row.Facts && (has(PublisherText(*row.Facts)) || has(row.Facts->description));
}

void TVelmora::Filter(EntryRows& rows) {
  filteredOut_.clear();
  if (hideWindows_ || !filter_.empty()) {
    const auto shown = std::stable_partition(rows.begin(), rows.end(), [this](const auto& row) { return Shows(*row); });
    std::move(shown, rows.end(), std::back_inserter(filteredOut_));
    rows.erase(shown, rows.end());
  }
  ShowHiddenCount();
}

void TVelmora::ShowHiddenCount() {
  StatusBar.SetText(3, filteredOut_.empty() ? std::wstring() : std::to_wstring(filteredOut_.size()) + L" hidden");
}

void TVelmora::FilterChanged() {
  const std::wstring typed = FoldedName(edFilter.Text());
  if (typed == filter_) return;
  filter_ = typed;
  ListAgainWhenFree();
}

void TVelmora::SetHideWindowsEntries(bool hide) {
  hideWindows_ = hide;
  tbHideWindows.SetChecked(hide);
  miHideWindows.SetChecked(hide);
  if (tvAutoRun.Selected()) ListAgainWhenFree();
}

void TVelmora::PutDefaultBack(const EntryRef& entry) {
  RunUndoable([&](CommandRun& run, UndoStep& step) {
    run.select = ::PutWindowsDefault(entry, &step);
    run.touched.push_back(*run.select);
    return true;
  });
}

bool TVelmora::NotWindowsDefault(const TAutoRunItem& row) const {
  if (row.Kind != EntryKind::RegistryValue || !row.Node->Location.rules->windowsDefaults) return false;
  static const std::wstring systemFolder = WinlogonSystemFolder();
  return !IsWindowsDefault(row.Name, ExpandedAsWindows(row.Command, HasWow64RegistryView()), systemFolder);
}

// Each policy value is read once: both views of a machine's key follow
// the same one.
bool TVelmora::ReadSkipping() {
  bool changed = false;
  std::unordered_map<std::wstring, std::wstring> read;
  for (const auto& node : nodeRecords_) {
    if (!node->SkipPolicy) continue;
    auto known = read.find(node->SkipPolicy);
    if (known == read.end()) known = read.emplace(node->SkipPolicy, SkippingPolicy(node->SkipPolicy)).first;
    changed = changed || known->second != node->SkippedBy;
    node->SkippedBy = known->second;
  }
  return changed;
}

void TVelmora::ShowSkipping() {
  const TAutoRunNode* node = NodeItem(tvAutoRun.Selected());
  const std::wstring text = node && !node->SkippedBy.empty()
                                ? L"Windows skips these entries by policy: " + node->SkippedBy + L"."
                                : kUsualCaption;
  if (pnlTop.Text() == text) return;
  pnlTop.SetText(text);
  InvalidateRect(pnlTop.Handle(), nullptr, TRUE);
}

void TVelmora::RenameTo(const EntryRef& entry, const std::wstring& newName) {
  if (newName == entry.name) return;
  RunUndoable([&](CommandRun& run, UndoStep& step) {
    run.touched.push_back(entry);
    run.select = ::RenameEntry(entry, newName, &step);
    run.touched.push_back(*run.select);
    return true;
  });
}

// Each taken entry in turn, each its own undo step; the first that fails
// stops the rest and is named in the message (it is left whole). Then the
// neighbour in the same list takes the selection: the row below the last
// taken, else the one above the first.
void TVelmora::DeleteEntries(const TakenEntries& taken) {
  std::vector<EntryRef> entries;
  for (const TakenEntry& row : taken.rows)
    if (row.ref.kind != EntryKind::Record) entries.push_back(row.ref);
  const std::optional<EntryRef> next = NeighbourOf(taken);
  RunCommand([&](CommandRun& run) {
    EachInTurn(entries, run, [](const EntryRef& entry, UndoStep& step) {
      ::DeleteEntry(entry, &step);
      return true;
    });
    run.select = next;
  });
}

namespace {
// The failure's message names the entry it stopped at: with several
// selected, the user must learn which one it was.
EVelmoraError StoppedAt(const std::wstring& name, const EVelmoraError& error, bool entriesFollow) {
  std::string text = FormatMessageText("Stopped at '%s': ", ShownName(name)) + error.what();
  if (entriesFollow) text += "\nThe entries after it were left as they were.";
  return EVelmoraError(text, error.Code());
}
}  // namespace

void TVelmora::EachInTurn(const std::vector<EntryRef>& entries, CommandRun& run,
                          const std::function<bool(const EntryRef&, UndoStep&)>& act) {
  for (size_t at = 0; at < entries.size(); ++at) {
    const EntryRef& entry = entries[at];
    run.touched.push_back(entry);
    run.select = entry;
    UndoStep step;
    bool acted = false;
    try {
      acted = act(entry, step);
    } catch (const EVelmoraError& error) {
      if (entries.size() == 1) throw;
      throw StoppedAt(entry.Said(), error, at + 1 < entries.size());
    }
    if (acted) undo_.Push(std::move(step));
  }
}

std::vector<int> TVelmora::SelectedRows() const {
  std::vector<int> rows;
  for (int row = -1; (row = lvAutoRun.NextSelected(row)) >= 0;) rows.push_back(row);
  return rows;
}

// The state to end in is the opposite of what the user saw when clicking.
void TVelmora::lvAutoRunCheckClick(int item) {
  const TAutoRunItem* entry = rows_.At(item);
  if (!entry || entry->Kind == EntryKind::Record || !entry->HasSwitch()) return;
  clickedSwitches_.emplace_back(EntryRef::Of(*entry), entry->SwitchedOff());
  PostMessageW(Handle(), kSwitchClicked, 0, 0);
}

// Every taken entry that has a switch ends in the state the command
// names, in turn, stopping at the first that fails; one that is so
// already is left alone (no record, no undo step).
void TVelmora::SwitchEntries(const TakenEntries& taken, bool on) {
  std::vector<EntryRef> entries;
  for (const TakenEntry& row : taken.rows)
    if (row.hasSwitch) entries.push_back(row.ref);
  const std::optional<EntryRef> selected = SelectedEntry();
  RunCommand([&](CommandRun& run) {
    EachInTurn(entries, run, [on](const EntryRef& entry, UndoStep& step) { return ::SwitchEntry(entry, on, &step); });
    run.select = selected;
  });
}

// A step that cannot be taken back goes all the same, so that the next
// undo reaches the command before it; what it removed stays in its record.
void TVelmora::UndoLast() {
  if (undo_.Empty()) return;
  const EntryRef entry = *undo_.NewestEntry();
  RunCommand([&](CommandRun& run) {
    run.touched.push_back(entry);
    run.select = undo_.UndoNewest();
    run.touched.push_back(*run.select);
  });
}

// The program is looked up again, as the row was: the row keeps only what
// its columns show. A 32-bit process reaches the native System32 as
// Sysnative (the shell loads libraries, so the redirector stays on).
void TVelmora::ShowProperties(const EntryRef& entry) {
  const TAutoRunItem* item = rows_.At(rows_.Find(entry));
  if (!item) throw EVelmoraError(FormatMessageText("'%s' is no longer listed", ShownName(entry.Said())), ERROR_FILE_NOT_FOUND);
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
    throw EVelmoraError(FormatMessageText("The program of '%s' was not found", ShownTitle(*item)));
  HWND owner = GetAncestor(Handle(), GA_ROOT);
  const std::wstring reached = NativeSystemPathHere(program);
  HRESULT shown = ShowShellProperties(owner, reached);
  // The shell's namespace may not know Sysnative (Wine's does not): then
  // the sheet is of the 32-bit system folder's file of that name.
  if (FAILED(shown) && reached != program) shown = ShowShellProperties(owner, program);
  if (FAILED(shown) && shown != HRESULT_FROM_WIN32(ERROR_CANCELLED))
    throw EVelmoraError(FormatMessageText("Cannot show the properties of '%s'", program), shown);
}

namespace {
// The system's save dialog, modal to the manager; empty when cancelled.
// `filter` is the dialog's pairs of texts, each ended by a NUL.
std::wstring AskWhereToSave(HWND owner, const std::wstring& suggested, const wchar_t* filter, const wchar_t* extension) {
  std::vector<wchar_t> file(32768, L'\0');
  suggested.copy(file.data(), suggested.size());
  OPENFILENAMEW save{};
  save.lStructSize = sizeof save;
  save.hwndOwner = GetAncestor(owner, GA_ROOT);
  save.lpstrFilter = filter;
  save.lpstrFile = file.data();
  save.nMaxFile = static_cast<DWORD>(file.size());
  save.lpstrDefExt = extension;
  // The host's current folder stays its own.
  save.Flags = OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  return GetSaveFileNameW(&save) ? std::wstring(file.data()) : std::wstring();
}
}  // namespace

void TVelmora::ExportEntry(const EntryRef& entry) {
  RequireExportable(entry);
  const std::wstring path =
      AskWhereToSave(Handle(), L"Velmora export.reg", L"Registration files\0*.reg\0All files\0*.*\0", L"reg");
  if (!path.empty()) ExportEntries({entry}, path);
}

void TVelmora::SaveList() {
  const std::wstring path =
      AskWhereToSave(Handle(), L"Velmora list.csv", L"CSV files\0*.csv\0All files\0*.*\0", L"csv");
  if (!path.empty()) SaveListTo(path);
}

// Every place of the tree, not only the node shown; a root's places once.
void TVelmora::SaveListTo(const std::wstring& path) {
  std::vector<const TAutoRunNode*> places;
  for (const auto& node : nodeRecords_)
    if (!node->ListsRecords && node->Location.kind != LocationKind::None) places.push_back(node.get());
  const ScreenCursorScope busy(CursorShape::HourGlass);
  SaveWholeList(places, worker_, path);
}

// Each taken record in turn, stopping at the first that fails (it stays,
// and is named); a restored record leaves "REMOVED": the neighbour of the
// taken rows takes the selection.
void TVelmora::RestoreEntries(const TakenEntries& taken) {
  const std::optional<EntryRef> next = NeighbourOf(taken);
  RunCommand([&](CommandRun& run) {
    run.wholeList = true;
    run.select = next;
    for (size_t at = 0; at < taken.rows.size(); ++at) {
      const TakenEntry& row = taken.rows[at];
      try {
        RestoreRecord(row.record);
      } catch (const EVelmoraError& error) {
        if (taken.rows.size() == 1) throw;
        throw StoppedAt(row.ref.Said(), error, at + 1 < taken.rows.size());
      }
    }
  });
}

void TVelmora::DiscardEntries(const TakenEntries& taken) {
  const std::wstring question =
      taken.rows.size() == 1
          ? L"Delete the copy of '" + ShownName(taken.rows.front().ref.Said()) +
                L"' for good? It cannot be restored afterwards."
          : L"Delete the copies of these " + std::to_wstring(taken.rows.size()) +
                L" entries for good? They cannot be restored afterwards.";
  if (MessageBoxW(GetAncestor(Handle(), GA_ROOT), question.c_str(), L"Velmora", MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  const std::optional<EntryRef> next = NeighbourOf(taken);
  RunCommand([&](CommandRun& run) {
    run.wholeList = true;
    run.select = next;
    for (const TakenEntry& row : taken.rows)
      if (!DiscardRecord(row.record))
        throw EVelmoraError(FormatMessageText("Failed to delete the copy of '%s'", ShownName(row.ref.Said())),
                            static_cast<long>(GetLastError()));
  });
}

void TVelmora::tbRefreshClick() { ReloadAll(); }

// The list's edit box is filled from a buffer of MAX_PATH characters: a
// longer name would come back cut, so it is renamed in the item dialog.
void TVelmora::RenameInPlace(const TakenEntry& entry) {
  RequireAddressable(entry.ref);
  if (entry.ref.name.size() >= MAX_PATH) {
    TakenEntries taken = TakeSelection();
    taken.rows = {entry};
    taken.single = 0;
    return Execute(Command::Change, taken);
  }
  const int row = rows_.Find(entry.ref);
  if (row < 0) return;
  editing_ = entry.ref;
  lvAutoRun.EditLabel(row);
}

void TVelmora::CopyRows(const TakenEntries& taken) {
  std::wstring text;
  for (const TakenEntry& row : taken.rows) {
    const TAutoRunItem* item = rows_.At(rows_.Find(row.ref));
    if (!text.empty()) text += L"\r\n";
    text += (item ? ShownTitle(*item) : ShownName(row.ref.Said())) + L"\t" + (item ? item->ShownPath() : row.command);
  }
  if (!text.empty()) ui::CopyTextToClipboard(GetAncestor(Handle(), GA_ROOT), text);
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

// The row double-clicked, whatever was selected before: Change, as Enter
// runs it, or nothing where the row's place refuses Change.
void TVelmora::lvAutoRunDblClick(int item) {
  if (!rows_.At(item)) return;
  SelectRow(item);
  Execute(Command::Change, TakeSelection());
}

int TVelmora::WidthForColumns() const {
  int width = treeWidth_ + Scaled(kSplitterWidth) + 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL);
  for (const int column : ColumnWidths()) width += column;
  return width;
}

int TVelmora::HeightForTree() const {
  return Scaled(kToolBarHeight) + Scaled(kCaptionHeight) + Scaled(kStatusHeight) + 2 * GetSystemMetrics(SM_CYEDGE) +
         tvAutoRun.ItemHeight() * tvAutoRun.Count();
}

std::vector<int> TVelmora::ColumnWidths() const {
  std::vector<int> widths;
  for (int column = 0; column < lvAutoRun.ColumnCount(); ++column) widths.push_back(lvAutoRun.ColumnWidth(column));
  return widths;
}

void TVelmora::SetColumnWidths(const std::vector<int>& widths) {
  const size_t columns = std::min(widths.size(), static_cast<size_t>(lvAutoRun.ColumnCount()));
  for (size_t column = 0; column < columns; ++column)
    lvAutoRun.SetColumnWidth(static_cast<int>(column), widths[column]);
}
