#pragma once
// The manager frame: toolbar, caption strip, location tree, entry list,
// status bar and the list's popup menu. It only shows and binds: which
// locations exist is LocationCatalogue.h, how one is listed EntryListing.h,
// where the rows live RowStore.h, what a command does EntryCommands.h.
//
// The controls raise typed events (ui/Window.h says how a message gets to
// them); BindEvents connects them to the handlers below by name. A command
// takes the chosen entry's identity when it starts and runs through
// RunCommand, which refreshes the list on every way out and selects the
// entry the command leaves by that identity.
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "manager/ChangeWatch.h"
#include "manager/Entry.h"
#include "manager/EntryCommands.h"
#include "manager/RowStore.h"
#include "ui/CaptionPanel.h"
#include "ui/Gdi.h"
#include "ui/Dpi.h"
#include "ui/ImageList.h"
#include "ui/ListView.h"
#include "ui/PopupMenu.h"
#include "ui/Splitter.h"
#include "ui/StatusBar.h"
#include "ui/ToolBar.h"
#include "ui/TreeView.h"
#include "ui/Window.h"

// Command ids of the toolbar buttons and the popup menu's items.
enum CommandId {
  idAdd = 101, idChange, idDelete, idSeparator, idRefresh, idInfoSeparator, idInfo,
  idMenuAdd = 201, idMenuChange, idMenuDelete, idMenuSwitch, idMenuUndo, idMenuRestore, idMenuExport,
  idMenuProperties,
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
  // The list's order, from a header click or a saved layout.
  RowOrder ListOrder() const { return rows_.Order(); }
  void SetListOrder(RowOrder order) { rows_.SortBy(order); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // The window binds its own handlers to the list's keys and the delete
  // button; the tests and the benchmark drive the frame through a driver.
  friend class TVelmoraWin;
  friend class ManagerDriver;

  // Declared before the controls, so destroyed after them.
  std::vector<std::unique_ptr<TAutoRunNode>> nodeRecords_;

  ui::StatusBar StatusBar;
  ui::ToolBar tbrCommands;
  ui::CaptionPanel pnlTop;
  ui::ImageList imgToolBar;
  ui::TreeView tvAutoRun;
  ui::ListView lvAutoRun;
  ui::Splitter splTree;
  ui::PopupMenu pmAutoRun;
  ui::MenuItem miDelete{pmAutoRun, idMenuDelete}, miAdd{pmAutoRun, idMenuAdd}, miChange{pmAutoRun, idMenuChange},
      miSwitch{pmAutoRun, idMenuSwitch}, miUndo{pmAutoRun, idMenuUndo}, miRestore{pmAutoRun, idMenuRestore},
      miExport{pmAutoRun, idMenuExport}, miProperties{pmAutoRun, idMenuProperties};
  ui::ToolButton tbAdd{tbrCommands, idAdd}, tbChange{tbrCommands, idChange}, tbDelete{tbrCommands, idDelete},
      tbSeparator{tbrCommands, idSeparator}, tbRefresh{tbrCommands, idRefresh},
      tbInfoSeparator{tbrCommands, idInfoSeparator}, tbInfo{tbrCommands, idInfo};
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
  // Merges a fresh listing of the selected node into the rows (the caller
  // has taken the places' stamps before), then
  // selects `select` by its identity, else the row at `fallbackRow` (or
  // the last), else none.
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
  // The same for a command that can be taken back: its undo step is kept.
  void RunUndoable(const std::function<void(CommandRun&, UndoStep&)>& command);
  // Reads the touched entries again into their rows, then selects.
  void UpdateRows(const CommandRun& run, int fallbackRow);
  void SelectAfter(const std::optional<EntryRef>& select, int fallbackRow);
  // The shown nodes' stamps taken now; true when one differs from before.
  bool TakeStamps();
  // Watches what the selected node shows.
  void WatchShownNodes();
  void WatchedChanged();
  // Marks listed rows that came back since the last look.
  void MarkRows(EntryRows& rows) const;
  // Takes what the shown nodes list into the look kept at closing.
  void RememberShown();
  // The row below `last`, else the one above `first`: who takes the
  // selection when the rows from `first` to `last` go.
  std::optional<EntryRef> NeighbourOf(int first, int last) const;
  std::optional<EntryRef> NeighbourOf(int row) const { return NeighbourOf(row, row); }
  void AddEntry();
  void ChangeEntry(int row);
  // What the item dialog's OK runs.
  void AddAs(const TAutoRunNode& node, const std::wstring& name, const std::wstring& path);
  void ChangeTo(const EntryRef& entry, const std::wstring& newName, const std::wstring& newPath);
  void DeleteEntry();
  void SwitchEntry(const EntryRef& entry);
  // Takes back the last command of this opening not taken back yet.
  void UndoLast();
  // A row of "REMOVED": puts the entry back, or (asked first) lets the
  // record go for good.
  void RestoreEntry();
  void DiscardEntry(int row);
  // Saves the selected entry as a registry editor's file where the user
  // chooses.
  void ExportEntry();
  // The selected rows as text: the name, a tab and the Path column, a line
  // each, on the clipboard.
  void CopySelected();
  // F2: the selected entry's name edited in its row, renamed as Change
  // renames it (its command kept).
  void RenameInPlace();

  // Selection and keyboard focus on one row, shown.
  void SelectRow(int row);
  std::optional<EntryRef> SelectedEntry() const;
  const TAutoRunNode* NodeItem(HTREEITEM node) const {
    return static_cast<const TAutoRunNode*>(tvAutoRun.Data(node));
  }
  std::vector<const TAutoRunNode*> LocationsOf(HTREEITEM node) const;

  // Event handlers, bound by name in BindEvents.
  void tvAutoRunChange(HTREEITEM node);
  void lvAutoRunChange(int item);
  void lvAutoRunDblClick(int item);
  void lvAutoRunColumnClick(int column);
  std::vector<int> SelectedRows() const;
  // Acts on each entry in turn, each its own undo step, stopping at the
  // first that fails.
  void EachInTurn(const std::vector<EntryRef>& entries, CommandRun& run,
                  const std::function<void(const EntryRef&, UndoStep&)>& act);
  void lvAutoRunCheckClick(int item);
  void pmAutoRunPopup();
  void tbRefreshClick();
  void miAddClick();
  void miChangeClick();
  void miDeleteClick();
  void miSwitchClick();
  void miUndoClick();
  void miRestoreClick();
  void miExportClick();
  // The shell's properties of the program an entry starts (a Startup
  // row's own file).
  void ShowProperties();

  struct CommandStates {
    bool add, change, remove;
  };
  CommandStates CommandRule() const;
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
  // A rename typed in a row, waiting for the list to close its edit box.
  std::optional<std::pair<EntryRef, std::wstring>> renamed_;
  // Check-box clicks waiting for the list to be done with them.
  std::deque<EntryRef> clickedSwitches_;
  // The commands of this opening, newest last, as undo takes them back.
  std::vector<UndoStep> undo_;
};
