#pragma once
// The manager frame: toolbar, caption strip, location tree, entry list,
// status bar and the list's popup menu, with the records behind them.
#include <string>

#include "ui/CaptionPanel.h"
#include "ui/ImageList.h"
#include "ui/ListView.h"
#include "ui/PopupMenu.h"
#include "ui/Splitter.h"
#include "ui/StatusBar.h"
#include "ui/ToolBar.h"
#include "ui/TreeView.h"
#include "ui/WinControl.h"

// Attached to every tree node and list row.
struct TAutoRunItem {
  std::string Command;  // what the entry starts; empty in tree nodes
  std::string Origin;   // a location string, or a folder entry's full path
  std::string Name;     // the value name or file name; empty in tree nodes
  bool AllowsAdd = false;
};

// Indices into imgToolBar.
enum ToolBarImage { imgAdd, imgChange, imgDelete, imgRefresh, imgInformation, imgFolder, imgProgram };

// True when the library runs as a 32-bit program on 64-bit Windows, where
// HKEY_LOCAL_MACHINE\Software has a second, 32-bit view. Tests may play
// 32-bit Windows.
bool HasWow64RegistryView();
void SetWow64ViewForTesting(int answer);  // 1 yes, 0 no, -1 ask the system

// The Startup folders as the registry records them, or empty.
std::string GetUserStartupFolder();
std::string GetCommonStartupFolder();

class TVelmora : public TWinControl {
 public:
  // Creates the frame and its components as a child of `parent`.
  explicit TVelmora(HWND parent);
  ~TVelmora() override;

  ui::StatusBar StatusBar;
  ui::ToolBar ToolBar1;
  ui::CaptionPanel pnlTop;
  ui::ImageList imgToolBar;
  ui::TreeView tvAutoRun;
  ui::ListView lvAutoRun;
  ui::Splitter Splitter1;
  ui::PopupMenu pmAutoRun;
  ui::MenuItem miDelete, miAdd, miChange;
  ui::ToolButton tbAdd, tbChange, tbDelete, ToolButton4, tbRefresh, ToolButton1, ToolButton2;
  bool Loading = false;
  std::string CurrentLocation;

  void InitManager();
  void ReloadAll();
  void RefreshEntries();
  void BuildLocationTree();
  void ClearTree();
  void FillEntries(const std::string& location);
  void ClearEntries();
  void AddEntry();
  void ChangeEntry();
  void DeleteEntry();

  // Event handlers, bound by name in BindEvents.
  void tvAutoRunChange(HTREEITEM node);
  void lvAutoRunChange(int item);
  void lvAutoRunDblClick();
  void pmAutoRunPopup();
  void tbRefreshClick();
  void miAddClick();
  void miChangeClick();
  void miDeleteClick();

  // Width of the tree pane; the splitter changes it.
  int TreeWidth() const { return treeWidth_; }
  void SetTreeWidth(int width);
  TAutoRunItem* NodeItem(HTREEITEM node) const { return static_cast<TAutoRunItem*>(tvAutoRun.Data(node)); }
  TAutoRunItem* RowItem(int row) const { return static_cast<TAutoRunItem*>(lvAutoRun.Data(row)); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  struct CommandStates {
    bool add, change, remove;
  };
  CommandStates CommandRule() const;
  void ApplyRuleToToolBar();
  void ListChildrenOf(HTREEITEM node);
  void FillFolderEntries(const std::string& location);
  void FillRegistryEntries(const std::string& location);
  void AppendRow(const std::string& caption, const std::string& path, TAutoRunItem* item);
  void CreateComponents();
  void BindEvents();
  void Layout();

  int treeWidth_ = 153;
};
