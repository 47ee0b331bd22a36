#include "ManagerDriver.h"

#include <stdexcept>

#include "ui/ErrorBox.h"

namespace {

// What a click or a key posted is handled before the driver returns.
void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

namespace {

// The frame's one child window whose wrapper is a `Control`.
template <class Control>
Control& ChildOf(const TVelmora& frame) {
  for (HWND child = GetWindow(frame.Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (auto* control = dynamic_cast<Control*>(ui::Window::FromHandle(child))) return *control;
  throw std::runtime_error("the frame has no such control");
}

const ui::MenuItem& ItemOf(ui::ListView& list, Command id) {
  const ui::MenuItem* item = list.Popup()->ItemOf(ItemIdOf(id));
  if (!item) throw std::runtime_error("the popup has no such item");
  return *item;
}

const ui::ToolButton& ButtonOf(const ui::ToolBar& bar, int id) {
  const ui::ToolButton* button = bar.ButtonOf(id);
  if (!button) throw std::runtime_error("the toolbar has no such button");
  return *button;
}

}  // namespace

ManagerDriver::ManagerDriver(TVelmora& frame)
    : frame(frame),
      lvAutoRun(ChildOf<ui::ListView>(frame)),
      tvAutoRun(ChildOf<ui::TreeView>(frame)),
      StatusBar(ChildOf<ui::StatusBar>(frame)),
      tbrCommands(ChildOf<ui::ToolBar>(frame)),
      pnlTop(ChildOf<ui::CaptionPanel>(frame)),
      splTree(ChildOf<ui::Splitter>(frame)),
      pmAutoRun(*lvAutoRun.Popup()),
      miAdd(ItemOf(lvAutoRun, Command::Add)),
      miChange(ItemOf(lvAutoRun, Command::Change)),
      miDelete(ItemOf(lvAutoRun, Command::Delete)),
      miSwitch(ItemOf(lvAutoRun, Command::Disable)),
      miUndo(ItemOf(lvAutoRun, Command::Undo)),
      miRestore(ItemOf(lvAutoRun, Command::Restore)),
      miExport(ItemOf(lvAutoRun, Command::Export)),
      miProperties(ItemOf(lvAutoRun, Command::Properties)),
      miDefault(ItemOf(lvAutoRun, Command::PutDefault)),
      miSaveList(ItemOf(lvAutoRun, Command::SaveList)),
      miFileLocation(ItemOf(lvAutoRun, Command::OpenFileLocation)),
      miRegistryEditor(ItemOf(lvAutoRun, Command::OpenInRegistryEditor)),
      miHideWindows(ItemOf(lvAutoRun, Command::HideWindows)),
      miCopy(ItemOf(lvAutoRun, Command::Copy)),
      miCompare(ItemOf(lvAutoRun, Command::CompareWithList)),
      tbAdd(ButtonOf(tbrCommands, ItemIdOf(Command::Add))),
      tbChange(ButtonOf(tbrCommands, ItemIdOf(Command::Change))),
      tbDelete(ButtonOf(tbrCommands, ItemIdOf(Command::Delete))),
      tbRefresh(ButtonOf(tbrCommands, ItemIdOf(Command::Refresh))),
      tbInfoSeparator(ButtonOf(tbrCommands, idInfoSeparator)),
      tbInfo(ButtonOf(tbrCommands, idInfo)),
      tbHideWindows(ButtonOf(tbrCommands, ItemIdOf(Command::HideWindows))) {}

HIMAGELIST ManagerDriver::Pictures() const {
  return reinterpret_cast<HIMAGELIST>(SendMessageW(tbrCommands, TB_GETIMAGELIST, 0, 0));
}

// As the user sees a row: shown, so its work is done.
const TAutoRunItem* ManagerDriver::RowItem(int row) const { return frame.RowAt(row); }
const TAutoRunItem* ManagerDriver::ListedItem(int row) const { return frame.RowAt(row, false); }
const TAutoRunNode* ManagerDriver::NodeItem(HTREEITEM node) const { return frame.NodeItem(node); }
const std::wstring& ManagerDriver::CurrentLocation() const { return frame.CurrentLocation(); }

// The menu raises its opening before it tracks the mouse: the tracking
// alone is left out (a test cannot drive a menu's own modal loop).
void ManagerDriver::OpenPopup() {
  if (pmAutoRun.OnPopup) pmAutoRun.OnPopup();
}

void ManagerDriver::Choose(const ui::MenuItem& item) {
  OpenPopup();
  ChooseOpened(item);
}

void ManagerDriver::ChooseOpened(const ui::MenuItem& item) {
  ui::RunHandler([&] { item.Click(); }, frame.Handle());
  Pump();
}

bool ManagerDriver::Loading() const { return frame.Loading(); }

namespace {
// The Ctrl key as the window reads it (GetKeyState), held for one scope.
class ControlHeld {
 public:
  explicit ControlHeld(bool held) {
    GetKeyboardState(keys_);
    keys_[VK_CONTROL] = held ? 0x80 : 0;
    SetKeyboardState(keys_);
  }
  ~ControlHeld() {
    keys_[VK_CONTROL] = 0;
    SetKeyboardState(keys_);
  }
  ControlHeld(const ControlHeld&) = delete;
  ControlHeld& operator=(const ControlHeld&) = delete;

 private:
  BYTE keys_[256];
};
}  // namespace

void ClickHeaderOf(HWND list, int column) {
  HWND header = ListView_GetHeader(list);
  RECT bounds{};
  SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&bounds));
  const LPARAM at = MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
  SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(header, WM_LBUTTONUP, 0, at);
}

void ManagerDriver::ClickRow(int row, bool onBox, bool twice, bool ctrl) {
  const ControlHeld control(ctrl);
  const WPARAM held = ctrl ? MK_CONTROL : 0;
  RECT bounds{};
  bounds.left = onBox ? LVIR_BOUNDS : LVIR_LABEL;
  SendMessageW(lvAutoRun, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
  const int x = onBox ? bounds.left + 8 : (bounds.left + bounds.right) / 2;
  const LPARAM at = MAKELPARAM(x, (bounds.top + bounds.bottom) / 2);
  SendMessageW(lvAutoRun, WM_LBUTTONDOWN, MK_LBUTTON | held, at);
  SendMessageW(lvAutoRun, WM_LBUTTONUP, held, at);
  if (twice) {
    SendMessageW(lvAutoRun, WM_LBUTTONDBLCLK, MK_LBUTTON | held, at);
    SendMessageW(lvAutoRun, WM_LBUTTONUP, held, at);
  }
  Pump();
}

void ManagerDriver::ClickHeader(int column) {
  ClickHeaderOf(lvAutoRun.Handle(), column);
  Pump();
}

void ManagerDriver::PressKey(WORD key, bool ctrl) {
  const ControlHeld control(ctrl);
  const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
  SendMessageW(lvAutoRun, WM_KEYDOWN, key, static_cast<LPARAM>(1 | (scan << 16)));
  if (key == VK_SPACE) SendMessageW(lvAutoRun, WM_CHAR, L' ', static_cast<LPARAM>(1 | (scan << 16)));
  SendMessageW(lvAutoRun, WM_KEYUP, key, static_cast<LPARAM>(1 | (scan << 16) | 0xC0000000u));
  Pump();
}

int ManagerDriver::RowOf(const std::wstring& name, const std::wstring& location) const {
  for (int row = 0; row < lvAutoRun.Count(); ++row) {
    const TAutoRunItem* item = RowItem(row);
    if (item->Name == name && (location.empty() || item->Node->Location.Text() == location)) return row;
  }
  return -1;
}

int ManagerDriver::WatchedRelists() const { return frame.WatchedRelists(); }

void ManagerDriver::AddAsDialogWould(const std::wstring& name, const std::wstring& path) {
  const TakenEntries taken = frame.TakeSelection();
  ui::RunHandler([&] { frame.AddAs(taken, name, path); });
}

void ManagerDriver::SaveListAsDialogWould(const std::wstring& path) {
  ui::RunHandler([&] { frame.SaveListTo(path); });
  // The save runs on its own thread: its end comes as a message.
  for (const DWORD start = GetTickCount(); frame.SavingList() && GetTickCount() - start < 30000;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    Pump();
  }

}

void ManagerDriver::CompareAsDialogWould(const std::wstring& path) {
  ui::RunHandler([&] { frame.CompareWith(path); });
  Pump();
}

// The row alone selected first, as a double click leaves it.
void ManagerDriver::ChangeAsDialogWould(int row, const std::wstring& name, const std::wstring& path) {
  lvAutoRun.SetFocused(row, true);
  lvAutoRun.SelectOnly(row);
  const TakenEntries taken = frame.TakeSelection();
  ui::RunHandler([&] { frame.ChangeTo(taken, name, path); });
}
