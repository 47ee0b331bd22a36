#pragma once
// The manager frame: toolbar, caption strip, location tree, entry list,
// status bar and the list's popup menu. One class whose code stands in
// files by concern, its members grouped below under the file that holds
// them: the window (velframe.cpp), what the list shows (FrameListing.cpp),
// how a user's act becomes a command (FrameCommandRun.cpp) and the
// commands themselves (FrameVerbs.cpp). What the list shows and why is
// ShownPlaces.h; which locations exist LocationCatalogue.h, how one is
// listed EntryListing.h, where the rows live RowStore.h, what a command
// does to the registry and the folders EntryCommands.h.
//
// The controls raise typed events (ui/Window.h says how a message gets to
// them); BindEvents connects them to the handlers below by name. Every way
// into a command (toolbar, popup, key, double click, box click, in-place
// rename) takes the entries when the user acts (TakeSelection,
// FrameCommands.h) and ends in Execute; a command runs through
// RunCommand, which reads back what it touched on every way out and
// selects the entry it leaves by that identity.
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "manager/ChangeWatch.h"
#include "manager/Entry.h"
#include "manager/FrameCommands.h"
#include "manager/ListSaving.h"
#include "manager/RowStore.h"
#include "manager/ShownPlaces.h"
#include "manager/TaskListing.h"
#include "manager/UndoStack.h"
#include "ui/CaptionPanel.h"
#include "ui/Dpi.h"
#include "ui/Edit.h"
#include "ui/Gdi.h"
#include "ui/ImageList.h"
#include "ui/ListView.h"
#include "ui/PopupMenu.h"
#include "ui/SpeedButton.h"
#include "ui/Splitter.h"
#include "ui/StatusBar.h"
#include "ui/ToolBar.h"
#include "ui/TreeView.h"
#include "ui/Window.h"

// The toolbar's hidden information button, beyond the commands' buttons.
enum FrameButtonId { idInfoSeparator = 101, idInfo, idFirstSeparator };

class TVelmora : public ui::Window {
 public:
  // --- velframe.cpp: the window
  // Creates the frame and its components as a child of `parent`.
  explicit TVelmora(HWND parent);
  ~TVelmora() override;

  void InitManager();
  // Width of the tree pane; the splitter changes it.
  int TreeWidth() const { return treeWidth_; }
  void SetTreeWidth(int width);
  // Rows of programs Windows itself signed are left out of the list.
  bool HidesWindowsEntries() const { return places_.HidesWindows(); }
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

  // What the screen shows, read as a user reads it: the record behind a
  // row (`settled`: its disk work done, as painting it does), the node
  // behind a tree item, the location listed last, whether the tree is
  // being rebuilt, and how often another program's changes had the list
  // listed again.
  const TAutoRunItem* RowAt(int row, bool settled = true);
  const TAutoRunNode* NodeItem(HTREEITEM node) const {
    return static_cast<const TAutoRunNode*>(tvAutoRun.Data(node));
  }
  const std::wstring& CurrentLocation() const { return currentLocation_; }
  bool Loading() const { return loading_; }
  int WatchedRelists() const { return watchedRelists_; }

  // --- FrameCommandRun.cpp: from the user's act to a command
  // What the user acts on now: the selected rows, the one a single-entry
  // command takes, the node shown; not `whole`, the single row alone.
  TakenEntries TakeSelection(bool whole = true) const;
  // Runs a command on the entries taken when the user acted; one the rule
  // refuses does nothing.
  void Execute(Command id, const TakenEntries& taken);

  // --- FrameVerbs.cpp: the commands that ask first, with the answer
  // given: what OK in their dialog runs. Refused as Execute refuses.
  void AddAs(const TakenEntries& taken, const std::wstring& name, const std::wstring& path);
  void ChangeTo(const TakenEntries& taken, const std::wstring& newName, const std::wstring& newPath);
  // Starts saving the list at `path` off the window's thread; its
  // progress and its end come to the caption strip (a failure in the
  // error box). Esc in the list cancels it, writing nothing.
  void SaveListTo(const std::wstring& path);
  bool SavingList() const { return saver_.Busy(); }

  // --- FrameComparing.cpp: the list against a saved list
  // Compares with the list at `path` from now on, as the open dialog's OK
  // does; the lines it leaves out are named in one message.
  void CompareWith(const std::wstring& path);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // --- velframe.cpp
  // Declared before the controls, so destroyed after them: the tree's
  // items point at its nodes.
  ShownPlaces places_{worker_};
  ui::StatusBar StatusBar;
  ui::ToolBar tbrCommands;
  ui::CaptionPanel pnlTop;
  ui::SearchEdit edFilter;
  ui::SpeedButton btnStopComparing;  // in the caption strip while comparing
  ui::ImageList imgToolBar;
  ui::TreeView tvAutoRun;
  ui::ListView lvAutoRun;
  ui::Splitter splTree;
  ui::PopupMenu pmAutoRun;
  RowWorker worker_;
  ChangeWatch watch_;
  TaskReader tasks_;
  ListSaver saver_;
  std::wstring saveProgress_;  // the caption strip's line while the list is saved
  RowStore rows_{lvAutoRun, worker_};
  ui::Font captionFont_{L"MS Sans Serif", -11, true};
  int treeWidth_ = 153;
  // The DPI the frame is drawn at; every size is given at 96 DPI and
  // scaled by it.
  UINT dpi_ = 96;
  int Scaled(int pixels) const { return ui::Scaled(pixels, dpi_); }
  // The popup's items and the toolbar's buttons, one per row of the
  // command table that shows one.
  void CreateComponents();
  void CreateCommandControls();
  void BindEvents();
  void Layout();
  // The rows' disk work goes on in idle time until every row's is done.
  void StartIdleWork();
  void IdleWork();
  void SignaturesAnswered();

  // --- FrameListing.cpp: what the list and the tree show
  // True while the tree is being rebuilt: its selection events are not
  // the user's. True while SelectRow moves the focus and the selection.
  bool loading_ = false;
  bool selecting_ = false;
  std::wstring currentLocation_;  // the location of the node listed last
  int watchedRelists_ = 0;        // listings another program's changes caused
  std::unordered_map<std::wstring, std::wstring> shortenedLocations_;
  int shortenedWidth_ = -1;
  // The shown places are listed again once, at the next notification or
  // in idle time, whatever their stamps: after a command, so that a change
  // another program made just before the command's own write is not taken
  // for ours; after a change of what is left out that waited for an edit.
  bool relistOwed_ = false;
  bool listAfterEdit_ = false;  // another program's change waits for the edit to end

  void ReloadAll();
  void BuildLocationTree();
  void ClearTree();
  std::vector<const TAutoRunNode*> LocationsOf(HTREEITEM node) const;
  std::vector<const TAutoRunNode*> ShownNodes() const { return LocationsOf(tvAutoRun.Selected()); }
  // Lists the selected node afresh; the rows listed before an error stay.
  void ListSelectedNode();
  Listing ListShown();
  // Empties the list, keeping its look.
  void ClearShownRows();
  // Merges a fresh listing of the selected node into the rows, then
  // selects `select` by its identity, else the row at `fallbackRow` (or
  // the last), else none.
  void RefreshEntries(const std::optional<EntryRef>& select, int fallbackRow);
  // Reads the touched entries again into their rows (all of them when
  // `wholeList`), then selects.
  void UpdateRows(const std::vector<EntryRef>& touched, const std::optional<EntryRef>& select, bool wholeList,
                  int fallbackRow);
  void SelectAfter(const std::optional<EntryRef>& select, int fallbackRow);
  // Watches what the selected node shows; `again` arms every watch anew.
  void WatchShownNodes(bool again = false);
  void WatchedChanged();
  // The scheduled tasks are read on the task reader's thread when a node
  // showing them is selected, refreshed or changed; a read that came in
  // is merged like another program's change.
  bool ShowsTasks() const;
  void ReadShownTasks();
  void TasksRead();
  void MergeKeepingView();
  void ListAgainWhenFree();
  // The caption strip: a policy that skips the node, the task service
  // that did not answer, the saved list compared with.
  void ShowSkipping();
  // The fourth panel: what the comparison counts, and the rows left out.
  void ShowHiddenCount();
  void FilterChanged();
  // Selection and keyboard focus on one row, shown.
  void SelectRow(int row);
  std::optional<EntryRef> SelectedEntry() const;
  std::vector<int> SelectedRows() const;
  // A location as the status bar's first panel shows it.
  const std::wstring& ShownLocation(const std::wstring& location);
  void tvAutoRunChange(HTREEITEM node);
  void lvAutoRunChange(int item);
  void lvAutoRunColumnClick(int column);

  // --- FrameCommandRun.cpp
  // What the popup was opened on; its items act on that.
  TakenEntries popupTaken_;
  // Box clicks and Space waiting for the list to be done with them: the
  // row as the user saw it at the press.
  std::deque<TakenEntries> clickedSwitches_;
  // The commands of this opening, as undo takes them back.
  UndoStack undo_;
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
  // Each entry in turn, each its own undo step (UndoStack::EachInTurn),
  // each read back afterwards.
  void EachInTurn(const std::vector<EntryRef>& entries, CommandRun& run,
                  const std::function<bool(const EntryRef&, UndoStep&)>& act);
  // The row below the last taken row, else the one above the first: who
  // takes the selection when they go.
  std::optional<EntryRef> NeighbourOf(const TakenEntries& taken) const;
  TakenEntry TakeRow(int row) const;
  void ApplyRuleToToolBar();
  void pmAutoRunPopup();
  void miCommandClick(int itemId);
  void tbCommandClick(int itemId);
  void lvAutoRunKeyDown(ui::KeyEvent& event);
  void lvAutoRunCheckClick(int item);
  void lvAutoRunDblClick(int item);

  // --- FrameVerbs.cpp
  // The entry whose name is being edited in its row, taken when the edit
  // opened; then the rename typed, waiting for the list to close its box.
  std::optional<EntryRef> editing_;
  // The item dialog closed with OK, freed in idle time: the command it
  // asked for and its painted rows come first.
  std::unique_ptr<ui::Window> closedDialog_;
  // The item dialog filled with `name` and `path`; on OK, what was typed.
  bool AskItem(std::wstring& name, std::wstring& path);
  std::optional<std::pair<EntryRef, std::wstring>> renamed_;
  void AddEntry(const TakenEntries& taken);
  void ChangeEntry(const TakenEntries& taken);
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
  void ListSaveProgressed();
  // Saves an entry as a registry editor's file where the user chooses.
  void ExportEntry(const EntryRef& entry);
  // The taken rows as text: the name, a tab and the Path column, a line
  // each, on the clipboard.
  void CopyRows(const TakenEntries& taken);
  // F2: the entry's name edited in its row (a name the edit box cannot
  // hold whole goes to the item dialog); renamed as stored, its command kept.
  void RenameInPlace(const TakenEntries& taken);
  void RenameTo(const EntryRef& entry, const std::wstring& newName);
  // Windows' own text back in a Winlogon value, kept and undoable as Change.
  void PutDefaultBack(const EntryRef& entry);
  void ShowProperties(const EntryRef& entry);

  // --- FrameComparing.cpp
  void CompareWithList();
  void StopComparing();
  // The compared column, the caption strip and its button follow whether
  // the list is compared; the gone rows come or go.
  void ShowComparing();
  // A value gone since the saved list: its saved command as a registry
  // editor's file where the user chooses.
  void ExportGone(const TakenEntry& row);
};
