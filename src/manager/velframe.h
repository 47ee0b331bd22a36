#pragma once
// The manager frame: toolbar, caption strip, location tree, entry list,
// status bar and the list's popup menu.
//
// Who owns a row: the frame. Every tree node and list row points at a
// TAutoRunItem held in nodeRecords_ / rowRecords_; clearing deletes the
// items first and then the records. The controls raise typed events
// (ui/Window.h says how a message gets to them); BindEvents connects them
// to the handlers below by name. Which locations exist: LocationCatalogue.h.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/ProgramPresence.h"
#include "manager/StartupApproval.h"
#include "ui/CaptionPanel.h"
#include "ui/Gdi.h"
#include "ui/ImageList.h"
#include "ui/ListView.h"
#include "ui/PopupMenu.h"
#include "ui/Splitter.h"
#include "ui/StatusBar.h"
#include "ui/ToolBar.h"
#include "ui/TreeView.h"
#include "ui/Window.h"

enum class ItemKind : unsigned char {
  Location,       // a tree node
  RegistryValue,  // a row listed from a registry key
  File,           // a row listed from a Startup folder
};

struct TAutoRunNode;

// Attached to every tree node and list row. Names and texts are UTF-16,
// exactly as the registry and the file system hold them. A row holds
// little more than its name and command: what its location has in common
// is its node's.
struct TAutoRunItem {
  ItemKind Kind = ItemKind::Location;
  bool AllowsAdd = false;                               // true only in nodes of one concrete location
  ApprovalState Approval = ApprovalState::Absent;       // rows: the switch as read
  ProgramPresence Presence = ProgramPresence::Unknown;  // rows: whether the program is there
  std::wstring Command;  // what the entry starts; empty in tree nodes
  std::wstring Name;     // the value name or file name; empty in tree nodes
  const TAutoRunNode* Node = nullptr;  // rows: the node whose location was listed

  // Rows Windows' startup settings cover have a switch, on or off, kept
  // under their node's approval location; empty for other rows.
  const std::wstring& SwitchLocation() const;
  bool HasSwitch() const { return !SwitchLocation().empty(); }
  bool SwitchedOff() const { return HasSwitch() && Approval == ApprovalState::Off; }
  bool Missing() const { return Presence == ProgramPresence::Missing; }

  // A location string for nodes and registry rows; a file row's full path.
  std::wstring Origin() const;
  // What the Path column shows: a file row its file's path (its command
  // may be a shortcut's target), a registry row its command.
  std::wstring ShownPath() const { return Kind == ItemKind::File ? Origin() : Command; }
};

// A tree node's record: the location it lists.
struct TAutoRunNode : TAutoRunItem {
  std::wstring Location;  // the location string; empty for none
  // Where Windows keeps the startup switches of the entries listed here;
  // empty when it has none for them.
  std::wstring ApprovalLocation;
};

inline const std::wstring& TAutoRunItem::SwitchLocation() const {
  static const std::wstring none;
  return Kind != ItemKind::Location && Node ? Node->ApprovalLocation : none;
}

// Command ids of the toolbar buttons and the popup menu's items.
enum CommandId {
  idAdd = 101, idChange, idDelete, idSeparator, idRefresh, idInfoSeparator, idInfo,
  idMenuAdd = 201, idMenuChange, idMenuDelete, idMenuSwitch,
};

// Indices into imgToolBar.
enum ToolBarImage { imgAdd, imgChange, imgDelete, imgRefresh, imgInformation, imgFolder, imgProgram, imgMissing };

class TVelmora : public ui::Window {
  // Declared before the controls, so destroyed after them.
  std::vector<std::unique_ptr<TAutoRunNode>> nodeRecords_;
  std::vector<std::unique_ptr<TAutoRunItem>> rowRecords_;

 public:
  // Creates the frame and its components as a child of `parent`.
  explicit TVelmora(HWND parent);
  ~TVelmora() override;

  ui::StatusBar StatusBar;
  ui::ToolBar tbrCommands;
  ui::CaptionPanel pnlTop;
  ui::ImageList imgToolBar;
  ui::TreeView tvAutoRun;
  ui::ListView lvAutoRun;
  ui::Splitter splTree;
  ui::PopupMenu pmAutoRun;
  ui::MenuItem miDelete{pmAutoRun, idMenuDelete}, miAdd{pmAutoRun, idMenuAdd}, miChange{pmAutoRun, idMenuChange},
      miSwitch{pmAutoRun, idMenuSwitch};
  ui::ToolButton tbAdd{tbrCommands, idAdd}, tbChange{tbrCommands, idChange}, tbDelete{tbrCommands, idDelete},
      tbSeparator{tbrCommands, idSeparator}, tbRefresh{tbrCommands, idRefresh},
      tbInfoSeparator{tbrCommands, idInfoSeparator}, tbInfo{tbrCommands, idInfo};
  bool Loading = false;
  std::wstring CurrentLocation;

  void InitManager();
  void ReloadAll();
  void RefreshEntries();
  void BuildLocationTree();
  void ClearTree();
  // Lists the location of a node (a child location) into the list.
  void FillEntries(const TAutoRunNode& node);
  void ClearEntries();
  void AddEntry();
  void ChangeEntry();
  void DeleteEntry();
  // Switches the row's entry off when Windows would start it, else on, in
  // Windows' startup settings; rows without a switch are left alone.
  void SwitchEntry(int row);

  // Event handlers, bound by name in BindEvents.
  void tvAutoRunChange(HTREEITEM node);
  void lvAutoRunChange(int item);
  void lvAutoRunDblClick();
  void pmAutoRunPopup();
  void tbRefreshClick();
  void miAddClick();
  void miChangeClick();
  void miDeleteClick();
  void miSwitchClick();
  void lvAutoRunCheckClick(int item);

  // Width of the tree pane; the splitter changes it.
  int TreeWidth() const { return treeWidth_; }
  void SetTreeWidth(int width);
  const TAutoRunNode* NodeItem(HTREEITEM node) const {
    return static_cast<const TAutoRunNode*>(tvAutoRun.Data(node));
  }
  const TAutoRunItem* RowItem(int row) const { return static_cast<const TAutoRunItem*>(lvAutoRun.Data(row)); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  struct CommandStates {
    bool add, change, remove;
  };
  CommandStates CommandRule() const;
  void ApplyRuleToToolBar();
  using EntryList = std::vector<std::unique_ptr<TAutoRunItem>>;
  // Lists a child location, or every child location of a root, into
  // records; what was listed before an error is kept in `into`.
  void CollectChildrenOf(HTREEITEM node, EntryList& into) const;
  void CollectEntries(const TAutoRunNode& node, EntryList& into) const;
  void CollectFolderEntries(const TAutoRunNode& node, EntryList& into) const;
  void CollectRegistryEntries(const TAutoRunNode& node, EntryList& into) const;
  void ListChildrenOf(HTREEITEM node);
  // Appends the rows `collect` lists, also those listed before it raised.
  void ListInto(const std::function<void(EntryList&)>& collect);
  void AppendRows(EntryList& entries);
  // Sets the picture and the check box a row's record calls for.
  void ShowRowState(int row, const TAutoRunItem& item);
  void InsertRow(int row, std::unique_ptr<TAutoRunItem> item);
  // Removes a row and the record behind it.
  void DeleteRow(int row);
  // Brings the rows in line with what a fresh listing found: rows are
  // matched by their node and exact name; unchanged rows stay as they are
  // (selection, focus, scroll position), changed ones get the new text,
  // new ones are inserted in listing order and gone ones removed.
  void MergeRows(EntryList& fresh);
  // The list part of RefreshEntries: merge, then select the row selected
  // before (by name) or its neighbour.
  void MergeFreshListing();
  // The name of the selected row, if a row is selected.
  std::optional<std::wstring> SelectedCaption() const;
  void CreateComponents();
  void BindEvents();
  void Layout();

  // A location as the status bar's first panel shows it.
  const std::wstring& ShownLocation(const std::wstring& location);

  ui::Font captionFont_{"MS Sans Serif", -11, true};
  std::unordered_map<std::wstring, std::wstring> shortenedLocations_;
  int shortenedWidth_ = -1;
  int treeWidth_ = 153;
};
