#pragma once
// The manager frame: toolbar, caption strip, location tree, entry list,
// status bar and the list's popup menu. It only shows and binds: which
// locations exist is LocationCatalogue.h, how one is listed EntryListing.h,
// where the rows live RowStore.h, what a command does EntryCommands.h.
//
// The controls raise typed events (ui/Window.h says how a message gets to
// them); BindEvents connects them to the handlers below by name. Every way
// into a command (toolbar, popup, key, in-place rename) takes the entries
// when the user acts (TakeSelection, FrameCommands.h) and ends in Execute;
// a command runs through RunCommand, which reads back what it touched on
// every way out and selects the entry it leaves by that identity.
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "manager/ChangeWatch.h"
#include "manager/Entry.h"
#include "manager/EntryCommands.h"
#include "manager/FrameCommands.h"
#include "manager/RowStore.h"
#include "manager/UndoStack.h"
#include "ui/CaptionPanel.h"
#include "ui/Gdi.h"
#include "ui/Dpi.h"
#include "ui/Edit.h"
#include "ui/ImageList.h"
#include "ui/ListView.h"
#include "ui/PopupMenu.h"
#include "ui/Splitter.h"
#include "ui/StatusBar.h"
#include "ui/ToolBar.h"
#include "ui/TreeView.h"
#include "ui/Window.h"

// Ids of the toolbar's buttons; the popup's are in the command table.
enum ToolButtonId {
  idAdd = 101, idChange, idDelete, idSeparator, idRefresh, idInfoSeparator, idInfo, idHideSeparator, idHideWindows
};

class TVelmora : public ui::Window {
 public:
  // Creates the frame and its components as a child of `parent`.
  explicit TVelmora(HWND parent);
  ~TVelmora() override;

  void InitManager();
  // Width of the tree pane; the splitter changes it.
  int TreeWidth() const { return treeWidth_; }
  void SetTreeWidth(int width);
  // Rows of programs Windows itself signed are left out of the list.
  bool HidesWindowsEntries() const { return hideWindows_; }
  void SetHideWindowsEntries(bool hide);
  // The list's order, from a header click or a saved layout.
  RowOrder ListOrder() const { return rows_.Order(); }
  void SetListOrder(RowOrder order) { rows_.SortBy(order); }
  std::vector<int> ColumnWidths() const;
  // The client width that shows the tree and every column whole; the
  // client height that shows every node of the tree.
  int WidthForColumns() const;
  int HeightForTree() const;
  void SetColumnWidths(const std::vector<int>& widths);

  // What the user acts on now: the selected rows, the one a single-entry
  // command takes, the node shown; not `whole`, the single row alone.
  TakenEntries TakeSelection(bool whole = true) const;
  // Runs a command on the entries taken when the user acted; a disabled
  // one does nothing.
  void Execute(Command id, const TakenEntries& taken);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // The tests and the benchmark drive the frame through a driver.
  friend class ManagerDriver;

  // Declared before the controls, so destroyed after them.
  std::vector<std::unique_ptr<TAutoRunNode>> nodeRecords_;

  ui::StatusBar StatusBar;
  ui::ToolBar tbrCommands;
  ui::CaptionPanel pnlTop;
  ui::SearchEdit edFilter;
  ui::ImageList imgToolBar;
  ui::TreeView tvAutoRun;
  ui::ListView lvAutoRun;
  ui::Splitter splTree;
  ui::PopupMenu pmAutoRun;
  ui::MenuItem miDelete{pmAutoRun, InfoOf(Command::Delete).menuId}, miAdd{pmAutoRun, InfoOf(Command::Add).menuId},
      miChange{pmAutoRun, InfoOf(Command::Change).menuId}, miSwitch{pmAutoRun, InfoOf(Command::Disable).menuId},
      miUndo{pmAutoRun, InfoOf(Command::Undo).menuId}, miRestore{pmAutoRun, InfoOf(Command::Restore).menuId},
      miExport{pmAutoRun, InfoOf(Command::Export).menuId}, miProperties{pmAutoRun, InfoOf(Command::Properties).menuId},
      miDefault{pmAutoRun, InfoOf(Command::PutDefault).menuId}, miSaveList{pmAutoRun, InfoOf(Command::SaveList).menuId},
      miFileLocation{pmAutoRun, InfoOf(Command::OpenFileLocation).menuId},
      miRegistryEditor{pmAutoRun, InfoOf(Command::OpenInRegistryEditor).menuId},
      miHideWindows{pmAutoRun, InfoOf(Command::HideWindows).menuId};
  ui::ToolButton tbAdd{tbrCommands, idAdd}, tbChange{tbrCommands, idChange}, tbDelete{tbrCommands, idDelete},
      tbSeparator{tbrCommands, idSeparator}, tbRefresh{tbrCommands, idRefresh},
      tbInfoSeparator{tbrCommands, idInfoSeparator}, tbInfo{tbrCommands, idInfo},
      tbHideSeparator{tbrCommands, idHideSeparator}, tbHideWindows{tbrCommands, idHideWindows};
  RowWorker worker_;
  ChangeWatch watch_;
  // The shown nodes' stamps when they were last listed or written by us.
  std::unordered_map<const TAutoRunNode*, std::uint64_t> stamps_;
  int watchedRelists_ = 0;  // listings another program's changes caused
  // The nodes whose entries the list shows (a root's children).
  std::vector<const TAutoRunNode*> shownNodes_;
  // What the manager showed when it last closed, and what it will keep
  // when it closes: that, with the locations shown in this opening.
  LastLookIndex lastLook_;
  LastLook look_;
  bool lookRead_ = false;
  RowStore rows_{lvAutoRun, worker_};

  // True while the tree is being rebuilt: its selection events are not
  // the user's.
  bool loading_ = false;
  class LoadingScope {
   public:
    explicit LoadingScope(TVelmora& frame) : frame_(frame), was_(frame.loading_) { frame.loading_ = true; }
    ~LoadingScope() { frame_.loading_ = was_; }
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;

   private:
    TVelmora& frame_;
    bool was_;
  };
  // True while SelectRow moves the focus and the selection.
  bool selecting_ = false;
  struct SelectingScope {
    explicit SelectingScope(TVelmora& frame) : frame_(frame) { frame.selecting_ = true; }
    ~SelectingScope() { frame_.selecting_ = false; }
    SelectingScope(const SelectingScope&) = delete;
    SelectingScope& operator=(const SelectingScope&) = delete;
    TVelmora& frame_;
  };
  std::wstring CurrentLocation;  // the location of the node listed last

  void ReloadAll();
  void BuildLocationTree();
  void ClearTree();
  // Lists the selected node afresh; the rows listed before an error stay.
  void ListSelectedNode();
  Listing ListShown();
  // Merges a fresh listing of the selected node into the rows (the caller
  // has taken the places' stamps before), then selects `select` by its
  // identity, else the row at `fallbackRow` (or the last), else none.
  void RefreshEntries(const std::optional<EntryRef>& select, int fallbackRow);
  // What a command leaves for the list: the entries whose rows are read
  // again however it ends (a command costs the rows it changed), the entry
  // to select afterwards (else the one selected before), or the whole list
  // listed again.
  struct CommandRun {
    std::vector<EntryRef> touched;
    std::optional<EntryRef> select;
    bool wholeList = false;
  };
  void RunCommand(const std::function<void(CommandRun&)>& command);
  // The same for a command that can be taken back: its undo step is kept
  // when the command acted.
  void RunUndoable(const std::function<bool(CommandRun&, UndoStep&)>& command);
  // Reads the touched entries again into their rows, then selects.
  void UpdateRows(const CommandRun& run, int fallbackRow);
  void SelectAfter(const std::optional<EntryRef>& select, int fallbackRow);
  // The shown nodes' stamps taken now; true when one differs from before.
  bool TakeStamps();
  // Watches what the selected node shows; `again` arms every watch anew.
  void WatchShownNodes(bool again = false);
  void WatchedChanged();
  void MergeKeepingView();
  void ListAgainWhenFree();
  // Marks listed rows that came back since the last look; the entries this
  // opening's commands wrote are the user's own, never marked.
  void MarkRows(EntryRows& rows) const;
  void RememberOwn(const EntryRef& entry);
  // Takes what the shown nodes list into the look kept at closing;
  // `leaving`: the records of rows just cleared, whose texts it takes.
  void RememberShown(EntryRows* leaving = nullptr);
  // Empties the list, keeping its look.
  void ClearShownRows();
  // The row below `last`, else the one above `first`: who takes the
  // selection when the rows from `first` to `last` go.
  std::optional<EntryRef> NeighbourOf(int first, int last) const;
  std::optional<EntryRef> NeighbourOf(int row) const { return NeighbourOf(row, row); }
  std::optional<EntryRef> NeighbourOf(const TakenEntries& taken) const;

  // The commands, each over the entries taken when the user acted.
  void AddEntry(const TAutoRunNode& node);
  void ChangeEntry(const TakenEntry& entry);
  // What the item dialog's OK runs.
  void AddAs(const TAutoRunNode& node, const std::wstring& name, const std::wstring& path);
  void ChangeTo(const EntryRef& entry, const std::wstring& newName, const std::wstring& newPath);
  void DeleteEntries(const TakenEntries& taken);
  // Each taken entry with a switch ends on (or off); one already so is
  // left alone.
  void SwitchEntries(const TakenEntries& taken, bool on);
  // Takes back the last command of this opening not taken back yet.
  void UndoLast();
  // Rows of "REMOVED": put back each in turn, or (asked first) let go for good.
  void RestoreEntries(const TakenEntries& taken);
  void DiscardEntries(const TakenEntries& taken);
  // Every entry of every place, as CSV where the user chooses.
  void SaveList();
  void SaveListTo(const std::wstring& path);
  // Saves an entry as a registry editor's file where the user chooses.
  void ExportEntry(const EntryRef& entry);
  // The taken rows as text: the name, a tab and the Path column, a line
  // each, on the clipboard.
  void CopyRows(const TakenEntries& taken);
  // F2: the entry's name edited in its row (a name the edit box cannot
  // hold whole goes to the item dialog); renamed as stored, its command kept.
  void RenameInPlace(const TakenEntry& entry);
  void RenameTo(const EntryRef& entry, const std::wstring& newName);
  // Windows' own text back in a Winlogon value, kept and undoable as Change.
  void PutDefaultBack(const EntryRef& entry);
  // Whether a row of a place with Windows' defaults shows another text.
  bool NotWindowsDefault(const TAutoRunItem& row) const;
  // Reads which shown keys a policy makes Windows skip now; true when that
  // changed. The caption strip says it for the node selected.
  bool ReadSkipping();
  void ShowSkipping();
  // Whether a row passes the filter box and "Hide Windows' entries"; the
  // rows that do not are left out of a listing (and counted).
  bool Shows(TAutoRunItem& row);
  void Filter(EntryRows& rows);
  void FilterChanged();
  void ShowHiddenCount();
  // The shell's properties of the program an entry starts (a Startup
  // row's own file).
  void ShowProperties(const EntryRef& entry);

  // Selection and keyboard focus on one row, shown.
  void SelectRow(int row);
  std::optional<EntryRef> SelectedEntry() const;
  const TAutoRunNode* NodeItem(HTREEITEM node) const {
    return static_cast<const TAutoRunNode*>(tvAutoRun.Data(node));
  }
  std::vector<const TAutoRunNode*> LocationsOf(HTREEITEM node) const;
  TakenEntry TakeRow(int row) const;

  // Event handlers, bound by name in BindEvents.
  void tvAutoRunChange(HTREEITEM node);
  void lvAutoRunChange(int item);
  void lvAutoRunDblClick(int item);
  void lvAutoRunColumnClick(int column);
  void lvAutoRunKeyDown(ui::KeyEvent& event);
  std::vector<int> SelectedRows() const;
  // Acts on each entry in turn, each its own undo step, stopping at the
  // first that fails; `act` returns false when it had nothing to do.
  void EachInTurn(const std::vector<EntryRef>& entries, CommandRun& run,
                  const std::function<bool(const EntryRef&, UndoStep&)>& act);
  void lvAutoRunCheckClick(int item);
  void pmAutoRunPopup();
  void tbRefreshClick();

  void ApplyRuleToToolBar();
  void CreateComponents();
  void BindEvents();
  void Layout();
  // The rows' disk work goes on in idle time until every row's is done.
  void StartIdleWork();
  void IdleWork();

  // A location as the status bar's first panel shows it.
  const std::wstring& ShownLocation(const std::wstring& location);

  ui::Font captionFont_{L"MS Sans Serif", -11, true};
  std::unordered_map<std::wstring, std::wstring> shortenedLocations_;
  int shortenedWidth_ = -1;
  int treeWidth_ = 153;
  // The DPI the frame is drawn at; every size is given at 96 DPI and
  // scaled by it.
  UINT dpi_ = 96;
  int Scaled(int pixels) const { return ui::Scaled(pixels, dpi_); }
  // The entry whose name is being edited in its row, taken when the edit
  // opened; then the rename typed, waiting for the list to close its box.
  std::optional<EntryRef> editing_;
  bool listAfterEdit_ = false;  // another program's change waits for the edit to end
  std::optional<std::pair<EntryRef, std::wstring>> renamed_;
  // Check-box clicks waiting for the list to be done with them: the entry
  // and the state it is to end in (the opposite of what the user saw).
  std::deque<std::pair<EntryRef, bool>> clickedSwitches_;
  // What the popup was opened on; its items act on that.
  TakenEntries popupTaken_;
  // The commands of this opening, as undo takes them back.
  UndoStack undo_;
  // The entries this opening's commands wrote (location and folded name).
  std::unordered_set<std::wstring> own_;
  // The shown places are listed again once, at the next notification or
  // in idle time, whatever their stamps: after a command, so that a change
  // another program made just before the command's own write is not taken
  // for ours; after a change of what is left out that waited for an edit.
  bool relistOwed_ = false;
  // The filter box's text, folded as names compare.
  std::wstring filter_;
  bool hideWindows_ = false;
  // The rows of the nodes on show that the filter leaves out, as listed.
  EntryRows filteredOut_;
};
