#include "manager/velframe.h"

#include <algorithm>

#include "common/FileTools.h"
#include "common/Names.h"
#include "manager/Location.h"
#include "res/resource.h"
#include "ui/Application.h"

namespace {

constexpr int kFrameWidth = 534, kFrameHeight = 237;
// Posted by a click on a row's check box: wParam the row, lParam its record.
constexpr UINT kSwitchClickedRow = WM_APP + 1;
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

std::wstring TAutoRunItem::Origin() const {
  switch (Kind) {
    case ItemKind::Location:
      return static_cast<const TAutoRunNode*>(this)->Location;
    case ItemKind::RegistryValue:
      return Node ? Node->Location : std::wstring();
    case ItemKind::File:
      return Node ? AppendPathDelimiter(Node->Location) + Name : Name;
  }
  return std::wstring();
}

TVelmora::TVelmora(HWND parent) {
  ui::CreateArgs args = ChildOf(parent, WS_CLIPCHILDREN | WS_TABSTOP, WS_EX_CONTROLPARENT);
  args.width = kFrameWidth;
  args.height = kFrameHeight;
  CreateOwn("TVelmora", args);
  CreateComponents();
  BindEvents();
  Layout();
}

// The windows go first, while every record they point at still exists.
TVelmora::~TVelmora() { Destroy(); }

void TVelmora::CreateComponents() {
  imgToolBar.LoadStrip(ui::TheApplication->Instance(), IDB_TOOLBAR, 16, kImageBackground);

  tbrCommands.Create(ChildOf(Handle()), imgToolBar.Get());
  tbrCommands.AddButton(tbAdd, imgAdd);
  tbrCommands.AddButton(tbChange, imgChange);
  tbrCommands.AddButton(tbDelete, imgDelete);
  tbrCommands.AddSeparator(tbSeparator, 8);
  tbrCommands.AddButton(tbRefresh, imgRefresh);
  tbrCommands.AddSeparator(tbInfoSeparator, 8, true);
  tbrCommands.AddButton(tbInfo, imgInformation);
  tbrCommands.SetHidden(tbInfo, true);

  ui::CreateArgs caption = ChildOf(Handle());
  caption.text = "You can add new, change or delete existing auto run items.";
  pnlTop.captionFont = captionFont_.Get();
  pnlTop.Create(caption);

  tvAutoRun.Create(ChildOf(Handle(), WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                           WS_EX_CLIENTEDGE));
  tvAutoRun.SetImageList(imgToolBar.Get());
  tvAutoRun.SetIndent(19);

  splTree.Create(ChildOf(Handle()));

  lvAutoRun.Create(ChildOf(Handle(), WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                           WS_EX_CLIENTEDGE));
  // A check box on the rows Windows' startup settings cover: checked when
  // Windows will start the entry.
  lvAutoRun.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
  lvAutoRun.SetSmallImages(imgToolBar.Get());
  // The rows' texts stay in their records only; the list asks for them
  // when it paints.
  lvAutoRun.TextOf = [](const void* data, int column) {
    const auto* item = static_cast<const TAutoRunItem*>(data);
    return column == 0 ? item->Name : item->ShownPath();
  };
  lvAutoRun.AddColumn("Name", 100);
  lvAutoRun.AddColumn("Path", 270);
  lvAutoRun.SetPopupMenu(&pmAutoRun);

  StatusBar.Create(ChildOf(Handle()));
  StatusBar.SetPanels({350, 150, 50});

  pmAutoRun.AddItem(miAdd, "Add new");
  pmAutoRun.AddItem(miChange, "Change");
  pmAutoRun.AddItem(miDelete, "Delete");
  pmAutoRun.AddItem(miSwitch, "Disable");
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
  lvAutoRun.OnCheckClick = [this](ui::ListView::CheckClickEvent& event) { lvAutoRunCheckClick(event.item); };
  pmAutoRun.OnPopup = [this] { pmAutoRunPopup(); };
  tvAutoRun.OnSelectionChanged = [this](ui::TreeView::SelectionChangedEvent& event) { tvAutoRunChange(event.node); };
  lvAutoRun.OnItemChanged = [this](ui::ListView::ItemChangedEvent& event) { lvAutoRunChange(event.item); };
  lvAutoRun.OnDoubleClick = [this](ui::ListView::DoubleClickEvent&) { lvAutoRunDblClick(); };
  splTree.OnMoved = [this](ui::Splitter::MoveEvent& event) { SetTreeWidth(event.leftWidth); };
}

void TVelmora::SetTreeWidth(int width) {
  treeWidth_ = width;
  Layout();
}

void TVelmora::Layout() {
  const RECT client = ClientRect();
  const int width = client.right, height = client.bottom;
  const int bandTop = kToolBarHeight + kCaptionHeight;
  const int band = std::max(0, height - bandTop - kStatusHeight);
  tbrCommands.SetBounds(0, 0, width, kToolBarHeight);
  pnlTop.SetBounds(0, kToolBarHeight, width, kCaptionHeight);
  tvAutoRun.SetBounds(0, bandTop, treeWidth_, band);
  splTree.SetBounds(treeWidth_, bandTop, kSplitterWidth, band);
  const int listLeft = treeWidth_ + kSplitterWidth;
  lvAutoRun.SetBounds(listLeft, bandTop, std::max(0, width - listLeft), band);
  StatusBar.SetBounds(0, height - kStatusHeight, width, kStatusHeight);
}

LRESULT TVelmora::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    Layout();
    return 0;
  }
  if (message == kSwitchClickedRow) {
    // Still the row that was clicked: its record is the one clicked.
    const int row = static_cast<int>(wParam);
    if (row < lvAutoRun.Count() && RowItem(row) == reinterpret_cast<const TAutoRunItem*>(lParam)) SwitchEntry(row);
    return 0;
  }
  return DefaultHandler(message, wParam, lParam);
}

TVelmora::CommandStates TVelmora::CommandRule() const {
  const TAutoRunItem* node = NodeItem(tvAutoRun.Selected());
  const int row = lvAutoRun.SelectedIndex();
  const TAutoRunItem* entry = row >= 0 ? RowItem(row) : nullptr;
  CommandStates states;
  states.add = node && node->AllowsAdd;
  states.change = entry && entry->Kind == ItemKind::RegistryValue;
  states.remove = row >= 0;
  return states;
}

void TVelmora::ApplyRuleToToolBar() {
  const CommandStates states = CommandRule();
  tbAdd.SetEnabled(states.add);
  tbChange.SetEnabled(states.change);
  tbDelete.SetEnabled(states.remove);
}

void TVelmora::InitManager() { ReloadAll(); }

void TVelmora::ReloadAll() {
  Loading = true;
  // Rows refer to the nodes' records: the rows go first.
  ClearEntries();
  ClearTree();
  try {
    BuildLocationTree();
  } catch (...) {
    // The selection handler does not run for a tree built in part; the
    // commands still follow what the tree shows selected, not the node
    // listed before.
    Loading = false;
    const TAutoRunNode* node = NodeItem(tvAutoRun.Selected());
    CurrentLocation = node ? node->Location : std::wstring();
    ApplyRuleToToolBar();
    throw;
  }
  Loading = false;
  tvAutoRunChange(tvAutoRun.Selected());
}

void TVelmora::CollectChildrenOf(HTREEITEM node, EntryList& into) const {
  if (tvAutoRun.Parent(node)) {
    CollectEntries(*NodeItem(node), into);
    return;
  }
  for (HTREEITEM child = tvAutoRun.FirstChild(node); child; child = tvAutoRun.NextSibling(child))
    if (const TAutoRunNode* item = NodeItem(child)) CollectEntries(*item, into);
}

// Lists a child location, or every child location of a root.
void TVelmora::ListChildrenOf(HTREEITEM node) {
  ListInto([&](EntryList& entries) { CollectChildrenOf(node, entries); });
}

void TVelmora::tvAutoRunChange(HTREEITEM node) {
  if (Loading) return;
  // Cleared with redrawing on: one removal of all rows, which the list
  // settles at once; turned off and on around it, it lays itself out again.
  ClearEntries();
  if (!node) return;
  lvAutoRun.BeginUpdate();
  struct Guard {
    TVelmora* frame;
    ~Guard() {
      frame->lvAutoRun.EndUpdate();
      frame->ApplyRuleToToolBar();
    }
  } guard{this};
  if (const TAutoRunNode* item = NodeItem(node)) {
    if (item->Location.empty()) return;
    StatusBar.SetText(0, ShownLocation(item->Location));
    CurrentLocation = item->Location;
    ListChildrenOf(node);
  }
  if (lvAutoRun.Count() > 0) lvAutoRun.SetSelected(0, true);
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

void TVelmora::lvAutoRunChange(int item) {
  const TAutoRunItem* entry = item >= 0 ? RowItem(item) : nullptr;
  StatusBar.SetText(1, entry ? FileNamePart(entry->Command) : std::wstring());
  StatusBar.SetText(2, !entry ? L"" : entry->Missing() ? L"Missing" : entry->SwitchedOff() ? L"Off" : L"");
  ApplyRuleToToolBar();
}

void TVelmora::pmAutoRunPopup() {
  const CommandStates states = CommandRule();
  miAdd.SetEnabled(states.add);
  miChange.SetEnabled(states.change);
  miDelete.SetEnabled(states.remove);
  const TAutoRunItem* entry = RowItem(lvAutoRun.SelectedIndex());
  miSwitch.SetCaption(entry && entry->SwitchedOff() ? "Enable" : "Disable");
  miSwitch.SetEnabled(entry && entry->HasSwitch());
}

// The click arrives while the list is still handling it; the switch waits
// until the list is done.
void TVelmora::lvAutoRunCheckClick(int item) {
  const TAutoRunItem* entry = RowItem(item);
  if (entry && entry->HasSwitch())
    PostMessageW(Handle(), kSwitchClickedRow, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(entry));
}

void TVelmora::tbRefreshClick() { ReloadAll(); }

std::optional<std::wstring> TVelmora::SelectedCaption() const {
  const TAutoRunItem* item = RowItem(lvAutoRun.SelectedIndex());
  if (!item) return std::nullopt;
  return item->Name;
}

void TVelmora::RefreshEntries() {
  MergeFreshListing();
  // The selected row may be the same and its state not: the status bar
  // follows the record.
  lvAutoRunChange(lvAutoRun.SelectedIndex());
}

void TVelmora::MergeFreshListing() {
  int index = lvAutoRun.SelectedIndex();
  const std::optional<std::wstring> caption = SelectedCaption();
  {
    // One fresh listing, merged: rows that did not change are not rebuilt.
    const HTREEITEM node = tvAutoRun.Selected();
    if (!node) {
      ui::ListUpdateBracket bracket(lvAutoRun);
      ClearEntries();
      return;
    }
    EntryList fresh;
    if (NodeItem(node)) {
      try {
        CollectChildrenOf(node, fresh);
      } catch (...) {
        MergeRows(fresh);
        throw;
      }
    }
    MergeRows(fresh);
  }
  if (caption) {
    // The first row from the top with the same name, as the registry and
    // the file system compare names.
    for (int row = 0; row < lvAutoRun.Count(); ++row) {
      const TAutoRunItem* item = RowItem(row);
      if (!item || !SameName(item->Name, *caption)) continue;
      lvAutoRun.SetFocused(row, true);
      lvAutoRun.SetSelected(row, true);
      return;
    }
  }
  while (index >= lvAutoRun.Count()) --index;
  if (index >= 0) lvAutoRun.SetSelected(index, true);
}
