#pragma once
// The hands and eyes of the manager's tests and benchmark: what the user
// sees (the tree, the rows, the status bar, the buttons' states) and what
// the user does (select, click, press, open the popup), over a frame made
// elsewhere. The controls are found among the frame's child windows and
// the popup's items and the toolbar's buttons by their commands' ids, as
// the user reaches them; no test calls a handler by name.
#include <string>
#include <vector>

#include "manager/velframe.h"

class ManagerDriver {
 public:
  explicit ManagerDriver(TVelmora& frame);

  TVelmora& frame;
  // The controls, to read and click as the user does.
  ui::ListView& lvAutoRun;
  ui::TreeView& tvAutoRun;
  ui::StatusBar& StatusBar;
  ui::ToolBar& tbrCommands;
  ui::CaptionPanel& pnlTop;
  ui::Splitter& splTree;
  ui::PopupMenu& pmAutoRun;
  const ui::MenuItem &miAdd, &miChange, &miDelete, &miSwitch, &miUndo, &miRestore, &miExport, &miProperties,
      &miDefault, &miSaveList, &miFileLocation, &miRegistryEditor, &miHideWindows, &miCopy, &miCompare;
  const ui::ToolButton &tbAdd, &tbChange, &tbDelete, &tbRefresh, &tbInfoSeparator, &tbInfo, &tbHideWindows;

  HWND Handle() const { return frame.Handle(); }
  // The pictures the toolbar, the tree and the list share.
  HIMAGELIST Pictures() const;
  // The records behind what is shown, the row's disk work done as its
  // painting does it; ListedItem leaves it as it is.
  const TAutoRunItem* RowItem(int row) const;
  const TAutoRunItem* ListedItem(int row) const;
  const TAutoRunNode* NodeItem(HTREEITEM node) const;
  const std::wstring& CurrentLocation() const;
  // A real click of the mouse on a row: on its name, or on its check box;
  // `twice` makes it a double click; with `ctrl` held it adds the row to
  // the selection.
  void ClickRow(int row, bool onBox = false, bool twice = false, bool ctrl = false);
  // A key pressed and released in the list, Ctrl held if asked.
  void PressKey(WORD key, bool ctrl = false);
  // A click on the list's column header.
  void ClickHeader(int column);
  // The row of an entry by its exact name, in the location given (any
  // when empty); -1 when none.
  int RowOf(const std::wstring& name, const std::wstring& location = std::wstring()) const;
  // The popup menu's states, as the menu sets them when it opens.
  void OpenPopup();
  // Opens the popup and chooses an item, as the user does: what the
  // command raises is shown in the error box.
  void Choose(const ui::MenuItem& item);
  // Chooses an item of the popup opened before (OpenPopup), as the user
  // does after looking at it for a while.
  void ChooseOpened(const ui::MenuItem& item);
  // True while the tree is being rebuilt.
  bool Loading() const;
  // Add and Change as the item dialog's OK runs them: into the selected
  // node, on a row.
  void AddAsDialogWould(const std::wstring& name, const std::wstring& path);
  void ChangeAsDialogWould(int row, const std::wstring& name, const std::wstring& path);
  // "Save list..." as its dialog's OK runs it.
  void SaveListAsDialogWould(const std::wstring& path);
  // "Compare with saved list..." as its dialog's OK runs it.
  void CompareAsDialogWould(const std::wstring& path);
  // How often another program's changes had the list listed again.
  int WatchedRelists() const;
};

// A click on a list's column header, as the mouse makes it.
void ClickHeaderOf(HWND list, int column);
