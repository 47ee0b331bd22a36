#include "manager/velframe.h"

#include <algorithm>

#include "common/FileTools.h"
#include "manager/Location.h"
#include "res/resource.h"
#include "ui/Application.h"
#include "ui/Gdi.h"

namespace {

enum ComponentId {
  idToolBar = 100,
  idAdd = 101,
  idChange,
  idDelete,
  idSeparator4,
  idRefresh,
  idSeparator1,
  idInformation,
  idTree = 120,
  idList,
  idStatus,
  idMenuAdd = 201,
  idMenuChange,
  idMenuDelete,
};

constexpr int kFrameWidth = 534, kFrameHeight = 237;
constexpr int kToolBarHeight = 24, kCaptionHeight = 16, kStatusHeight = 19, kSplitterWidth = 6;
const COLORREF kImageBackground = RGB(128, 128, 0);

}  // namespace

TVelmora::TVelmora(HWND parent)
    : miDelete{&pmAutoRun, idMenuDelete},
      miAdd{&pmAutoRun, idMenuAdd},
      miChange{&pmAutoRun, idMenuChange},
      tbAdd{&ToolBar1, idAdd},
      tbChange{&ToolBar1, idChange},
      tbDelete{&ToolBar1, idDelete},
      ToolButton4{&ToolBar1, idSeparator4},
      tbRefresh{&ToolBar1, idRefresh},
      ToolButton1{&ToolBar1, idSeparator1},
      ToolButton2{&ToolBar1, idInformation} {
  WindowArgs args;
  args.parent = parent;
  args.style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP | WS_EX_CONTROLPARENT;
  args.exStyle = WS_EX_CONTROLPARENT;
  args.width = kFrameWidth;
  args.height = kFrameHeight;
  CreateHandle("TVelmora", args);
  CreateComponents();
  BindEvents();
  Layout();
}

TVelmora::~TVelmora() {
  // The records still attached when the frame goes are released with it.
  ClearEntries();
  Loading = true;
  ClearTree();
}

void TVelmora::CreateComponents() {
  imgToolBar.LoadStrip(Application->Instance(), IDB_TOOLBAR, 16, kImageBackground);

  ui::ControlArgs bar;
  bar.parent = Handle();
  bar.id = idToolBar;
  ToolBar1.Create(bar, imgToolBar.Get());
  ToolBar1.AddButton(idAdd, imgAdd);
  ToolBar1.AddButton(idChange, imgChange);
  ToolBar1.AddButton(idDelete, imgDelete);
  ToolBar1.AddSeparator(idSeparator4, 8);
  ToolBar1.AddButton(idRefresh, imgRefresh);
  ToolBar1.AddSeparator(idSeparator1, 8, true);
  ToolBar1.AddButton(idInformation, imgInformation);
  ToolBar1.SetHidden(idInformation, true);

  ui::CaptionPanelArgs caption;
  caption.parent = Handle();
  caption.caption = "You can add new, change or delete existing auto run items.";
  pnlTop.Create(caption);

  ui::ControlArgs tree;
  tree.parent = Handle();
  tree.id = idTree;
  tree.style = WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
  tree.exStyle = WS_EX_CLIENTEDGE;
  tvAutoRun.Create(tree);
  tvAutoRun.SetImageList(imgToolBar.Get());
  tvAutoRun.SetIndent(19);

  Splitter1.Create(Handle());

  ui::ControlArgs list;
  list.parent = Handle();
  list.id = idList;
  list.style = WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS;
  list.exStyle = WS_EX_CLIENTEDGE;
  lvAutoRun.Create(list);
  lvAutoRun.SetExtendedStyle(LVS_EX_FULLROWSELECT);
  lvAutoRun.SetSmallImages(imgToolBar.Get());
  lvAutoRun.AddColumn("Name", 100);
  lvAutoRun.AddColumn("Path", 270);

  ui::ControlArgs status;
  status.parent = Handle();
  status.id = idStatus;
  StatusBar.Create(status);
  StatusBar.SetPanels({350, 150, 50});
}

// The form description's bindings, by handler name.
void TVelmora::BindEvents() {
  ToolBar1.OnClick[tbAdd.id] = [this] { miAddClick(); };
  ToolBar1.OnClick[tbChange.id] = [this] { miChangeClick(); };
  ToolBar1.OnClick[tbDelete.id] = [this] { miDeleteClick(); };
  ToolBar1.OnClick[tbRefresh.id] = [this] { tbRefreshClick(); };
  pmAutoRun.AddItem(miAdd.id, "Add new", [this] { miAddClick(); });
  pmAutoRun.AddItem(miChange.id, "Change", [this] { miChangeClick(); });
  pmAutoRun.AddItem(miDelete.id, "Delete", [this] { miDeleteClick(); });
  pmAutoRun.OnPopup = [this] { pmAutoRunPopup(); };
  tvAutoRun.OnChange = [this](HTREEITEM node) { tvAutoRunChange(node); };
  lvAutoRun.OnChange = [this](int item) { lvAutoRunChange(item); };
  lvAutoRun.OnDblClick = [this] { lvAutoRunDblClick(); };
  Splitter1.LeftWidth = [this] { return treeWidth_; };
  Splitter1.OnMoved = [this](int width) { SetTreeWidth(width); };
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
  ToolBar1.SetBounds(0, 0, width, kToolBarHeight);
  pnlTop.SetBounds(0, kToolBarHeight, width, kCaptionHeight);
  tvAutoRun.SetBounds(0, bandTop, treeWidth_, band);
  Splitter1.SetBounds(treeWidth_, bandTop, kSplitterWidth, band);
  const int listLeft = treeWidth_ + kSplitterWidth;
  lvAutoRun.SetBounds(listLeft, bandTop, std::max(0, width - listLeft), band);
  StatusBar.SetBounds(0, height - kStatusHeight, width, kStatusHeight);
}

LRESULT TVelmora::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      LRESULT result = 0;
      if (header->hwndFrom == tvAutoRun.Handle() && tvAutoRun.HandleNotify(header, result)) return result;
      if (header->hwndFrom == lvAutoRun.Handle() && lvAutoRun.HandleNotify(header, result)) return result;
      return DefaultHandler(message, wParam, lParam);
    }
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lParam) == ToolBar1.Handle() && ToolBar1.HandleCommand(LOWORD(wParam))) return 0;
      return DefaultHandler(message, wParam, lParam);
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == lvAutoRun.Handle()) {
        POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (point.x == -1 && point.y == -1) {  // from the keyboard
          point = {4, 4};
          ClientToScreen(lvAutoRun, &point);
        }
        pmAutoRun.Popup(Handle(), point);
        return 0;
      }
      return DefaultHandler(message, wParam, lParam);
    default:
      return DefaultHandler(message, wParam, lParam);
  }
}

TVelmora::CommandStates TVelmora::CommandRule() const {
  const TAutoRunItem* node = NodeItem(tvAutoRun.Selected());
  const int row = lvAutoRun.SelectedIndex();
  const TAutoRunItem* entry = row >= 0 ? RowItem(row) : nullptr;
  CommandStates states;
  states.add = node && node->AllowsAdd;
  states.change = entry && !IsFolderLocation(entry->Origin);
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
  ClearTree();
  ClearEntries();
  BuildLocationTree();
  Loading = false;
  tvAutoRunChange(tvAutoRun.Selected());
}

// Lists a child location, or every child location of a root.
void TVelmora::ListChildrenOf(HTREEITEM node) {
  if (tvAutoRun.Parent(node)) {
    FillEntries(NodeItem(node)->Origin);
    return;
  }
  for (HTREEITEM child = tvAutoRun.FirstChild(node); child; child = tvAutoRun.NextSibling(child))
    if (const TAutoRunItem* item = NodeItem(child)) FillEntries(item->Origin);
}

void TVelmora::tvAutoRunChange(HTREEITEM node) {
  if (Loading) return;
  lvAutoRun.BeginUpdate();
  ClearEntries();
  if (!node) {
    lvAutoRun.EndUpdate();
    return;
  }
  struct Guard {
    TVelmora* frame;
    ~Guard() {
      frame->lvAutoRun.EndUpdate();
      frame->ApplyRuleToToolBar();
    }
  } guard{this};
  if (const TAutoRunItem* item = NodeItem(node)) {
    if (item->Origin.empty()) return;
    {
      WindowDC dc(StatusBar);
      StatusBar.SetText(0, ShortenPathToWidth(item->Origin, dc.Get(), StatusBar.PanelWidth(0)));
    }
    CurrentLocation = item->Origin;
    ListChildrenOf(node);
  }
  if (lvAutoRun.Count() > 0) lvAutoRun.SetSelected(0, true);
}

void TVelmora::lvAutoRunChange(int item) {
  const TAutoRunItem* entry = item >= 0 ? RowItem(item) : nullptr;
  StatusBar.SetText(1, entry ? FileNamePart(entry->Command) : std::string());
  ApplyRuleToToolBar();
}

void TVelmora::pmAutoRunPopup() {
  const CommandStates states = CommandRule();
  miAdd.SetEnabled(states.add);
  miChange.SetEnabled(states.change);
  miDelete.SetEnabled(states.remove);
}

void TVelmora::tbRefreshClick() { ReloadAll(); }

void TVelmora::RefreshEntries() {
  const int selected = lvAutoRun.SelectedIndex();
  int index = selected;
  const std::string caption = selected >= 0 ? lvAutoRun.Text(selected) : "-no-";
  {
    ui::ListUpdateBracket bracket(lvAutoRun);
    ClearEntries();
    const HTREEITEM node = tvAutoRun.Selected();
    if (!node) return;
    if (NodeItem(node)) ListChildrenOf(node);
  }
  if (caption != "-no-") {
    const int found = lvAutoRun.FindCaption(caption);
    if (found >= 0) {
      lvAutoRun.SetFocused(found, true);
      lvAutoRun.SetSelected(found, true);
      return;
    }
  }
  while (index >= lvAutoRun.Count()) --index;
  if (index >= 0) lvAutoRun.SetSelected(index, true);
}
