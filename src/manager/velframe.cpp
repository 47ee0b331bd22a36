// The frame's window: its controls, their creation and layout, the
// bindings of their events, and the messages the frame posts itself.
#include "manager/velframe.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "common/Errors.h"
#include "manager/FrameMessages.h"
#include "res/resource.h"
#include "ui/Application.h"

namespace {

constexpr int kFrameWidth = 534, kFrameHeight = 237;
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
    : worker_(kRowAnswered, kSignaturesAnswered), watch_(kWatchedChanged), tasks_(kTasksRead), saver_(kListSaving), dpi_(ui::DpiOf(parent)) {
  captionFont_.Create(L"MS Sans Serif", Scaled(-11), true);
  ui::CreateArgs args = ChildOf(parent, WS_CLIPCHILDREN | WS_TABSTOP, WS_EX_CONTROLPARENT);
  args.width = Scaled(kFrameWidth);
  args.height = Scaled(kFrameHeight);
  CreateOwn(L"TVelmora", args);
  worker_.PostTo(Handle());
  watch_.PostTo(Handle());
  tasks_.PostTo(Handle());
  saver_.PostTo(Handle());
  CreateComponents();
  BindEvents();
  Layout();
}

// The windows go first, while every record they point at still exists.
TVelmora::~TVelmora() {
  closedDialog_.reset();
  if (places_.LookRead()) {
    places_.StartLook();
    rows_.ForEach([&](const TAutoRunItem& row) { places_.Look(row); });
    places_.KeepLook();
  }
  Destroy();
}

void TVelmora::CreateComponents() {
  const int pictures = ui::PictureSize(dpi_);
  imgToolBar.LoadStrip(ui::TheApplication->Instance(),
                       pictures == 32 ? IDB_TOOLBAR_200 : pictures == 24 ? IDB_TOOLBAR_150 : IDB_TOOLBAR, pictures,
                       kImageBackground);
  imgToolBar.AddFaded(imgProgram, GetSysColor(COLOR_WINDOW));

  tbrCommands.Create(ChildOf(Handle()), imgToolBar.Get());

  ui::CreateArgs caption = ChildOf(Handle());
  caption.text = kUsualCaption;
  pnlTop.captionFont = captionFont_.Get();
  pnlTop.Create(caption);
  // The filter box sits in the caption strip's right end.
  edFilter.Create(ChildOf(Handle(), WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER));
  edFilter.SetCue(L"Filter");
  // Beside it while the list is compared with a saved list.
  ui::CreateArgs stop = ChildOf(Handle());
  stop.style &= ~WS_VISIBLE;
  stop.text = L"Stop comparing";
  btnStopComparing.Create(stop);

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
  rows_.ComparedText = [this](const TAutoRunItem& row) { return places_.Comparison().TextOf(row); };

  StatusBar.Create(ChildOf(Handle()));
  // The third panel holds the longest reason for a row's mark or its signature.
  // The fourth holds the comparison's counts and the rows left out.
  StatusBar.SetPanels({Scaled(350), Scaled(150), Scaled(230), Scaled(200)});

  CreateCommandControls();
}

// A button or a key takes the selection as it is when pressed; the
// popup's items act on what the popup was opened on.
void TVelmora::CreateCommandControls() {
  int separator = idFirstSeparator;
  for (const CommandInfo& info : Commands()) {
    const int id = ItemIdOf(info.id);
    if (info.caption && !info.sharesItem) pmAutoRun.AddItem(id, info.caption).OnClick = [this, id] { miCommandClick(id); };
    if (info.picture < 0) continue;
    if (info.spaced) tbrCommands.AddSeparator(separator++, Scaled(8));
    tbrCommands.AddButton(id, info.picture, info.toggle).OnClick = [this, id] { tbCommandClick(id); };
  }
  tbrCommands.AddSeparator(idInfoSeparator, Scaled(8), true);
  tbrCommands.SetHidden(tbrCommands.AddButton(idInfo, imgInformation), true);
}

// The form description's bindings, by handler name.
void TVelmora::BindEvents() {
  edFilter.OnChange = [this] { FilterChanged(); };
  btnStopComparing.OnClick = [this] { Execute(Command::StopComparing, TakeSelection()); };
  edFilter.OnEscape = [this] { edFilter.SetText(std::wstring()); };
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
  const int stopWidth = places_.Comparison().Active() ? std::min(Scaled(100), width / 4) : 0;
  pnlTop.SetBounds(0, toolBar, width - filterWidth - stopWidth, caption);
  btnStopComparing.SetBounds(width - filterWidth - stopWidth, toolBar, stopWidth, caption);
  edFilter.SetBounds(width - filterWidth, toolBar, filterWidth, caption);
  tvAutoRun.SetBounds(0, bandTop, treeWidth_, band);
  splTree.SetBounds(treeWidth_, bandTop, splitter, band);
  const int listLeft = treeWidth_ + splitter;
  lvAutoRun.SetBounds(listLeft, bandTop, std::max(0, width - listLeft), band);
  StatusBar.SetBounds(0, height - status, width, status);
}

LRESULT TVelmora::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      Layout();
      return 0;
    case kRowAnswered:
      // The answers may move rows sorted by what they brought.
      if (rows_.CollectAnswers(lvAutoRun.SelectedIndex())) lvAutoRunChange(lvAutoRun.SelectedIndex());
      return 0;
    case kSignaturesAnswered:
      SignaturesAnswered();
      return 0;
    case kWatchedChanged:
      WatchedChanged();
      return 0;
    case kTasksRead:
      TasksRead();
      return 0;
    case kListSaving:
      ListSaveProgressed();
      return 0;
    case WM_TIMER:
      if (wParam != kIdleTimer) break;
      IdleWork();
      return 0;
    case kRenamed: {
      if (!renamed_) return 0;
      const auto [entry, name] = *renamed_;
      renamed_.reset();
      RenameTo(entry, name);
      return 0;
    }
    case kSwitchClicked: {
      if (clickedSwitches_.empty()) return 0;
      const TakenEntries taken = std::move(clickedSwitches_.front());
      clickedSwitches_.pop_front();
      // The state to end in is the opposite of what the user saw at the press.
      Execute(taken.rows.front().off ? Command::Enable : Command::Disable, taken);
      return 0;
    }
    default:
      break;
  }
  return DefaultHandler(message, wParam, lParam);
}

// An answer may leave out a row shown, or bring in one left out.
void TVelmora::SignaturesAnswered() {
  if (!rows_.CollectSignatures()) return;
  // A hash known now may mark a program changed.
  if (places_.Comparison().Active()) ShowHiddenCount();
  bool moves = false;
  if (places_.Filters()) {
    rows_.ForEach([&](TAutoRunItem& row) { moves = moves || !places_.Shows(row); });
    moves = moves || places_.AnyLeftOutShows();
  }
  // A listing that fails shows what it listed; the next change or Refresh
  // says more.
  if (moves) {
    try {
      ListAgainWhenFree();
    } catch (const EVelmoraError&) {
    }
  }
  lvAutoRunChange(lvAutoRun.SelectedIndex());
}

void TVelmora::StartIdleWork() { SetTimer(Handle(), kIdleTimer, kIdleTick, nullptr); }

// The listing owed after a command comes first, once the command's rows
// have been painted (timer messages come after painting). A listing that
// fails shows what it listed; the next change or Refresh says more.
void TVelmora::IdleWork() {
  closedDialog_.reset();
  if (relistOwed_ && !editing_ && !loading_) {
    relistOwed_ = false;
    try {
      MergeKeepingView();
    } catch (const EVelmoraError&) {
    }
  }
  if (!rows_.SettleSome(std::chrono::steady_clock::now() + kIdleSlice)) return;
  KillTimer(Handle(), kIdleTimer);
  // Every row's program known: the counts say what the marks now say.
  if (places_.Comparison().Active()) ShowHiddenCount();
}

const TAutoRunItem* TVelmora::RowAt(int row, bool settled) {
  if (settled) rows_.Settle(row);
  return rows_.At(row);
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
  // The compared column comes and goes with the comparison: no layout keeps it.
  for (int column = 0; column < std::min(lvAutoRun.ColumnCount(), int{kLaidOutColumns}); ++column)
    widths.push_back(lvAutoRun.ColumnWidth(column));
  return widths;
}

void TVelmora::SetColumnWidths(const std::vector<int>& widths) {
  const size_t columns = std::min(widths.size(), static_cast<size_t>(kLaidOutColumns));
  for (size_t column = 0; column < columns; ++column)
    lvAutoRun.SetColumnWidth(static_cast<int>(column), widths[column]);
}
