#include "ManagerDriver.h"

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

ManagerDriver::ManagerDriver(TVelmora& frame)
    : frame(frame),
      lvAutoRun(frame.lvAutoRun),
      tvAutoRun(frame.tvAutoRun),
      StatusBar(frame.StatusBar),
      tbrCommands(frame.tbrCommands),
      pnlTop(frame.pnlTop),
      imgToolBar(frame.imgToolBar),
      splTree(frame.splTree),
      pmAutoRun(frame.pmAutoRun),
      miAdd(frame.miAdd),
      miChange(frame.miChange),
      miDelete(frame.miDelete),
      miSwitch(frame.miSwitch),
      miUndo(frame.miUndo),
      miRestore(frame.miRestore),
      miExport(frame.miExport),
      miProperties(frame.miProperties),
      miDefault(frame.miDefault),
      miSaveList(frame.miSaveList),
      miFileLocation(frame.miFileLocation),
      miRegistryEditor(frame.miRegistryEditor),
      miHideWindows(frame.miHideWindows),
      tbAdd(frame.tbAdd),
      tbChange(frame.tbChange),
      tbDelete(frame.tbDelete),
      tbRefresh(frame.tbRefresh),
      tbInfoSeparator(frame.tbInfoSeparator),
      tbInfo(frame.tbInfo),
      tbHideWindows(frame.tbHideWindows) {}

// As the user sees a row: shown, so its work is done.
const TAutoRunItem* ManagerDriver::RowItem(int row) const {
  frame.rows_.Settle(row);
  return frame.rows_.At(row);
}
const TAutoRunItem* ManagerDriver::ListedItem(int row) const { return frame.rows_.At(row); }
const TAutoRunNode* ManagerDriver::NodeItem(HTREEITEM node) const { return frame.NodeItem(node); }
const std::wstring& ManagerDriver::CurrentLocation() const { return frame.CurrentLocation; }
void ManagerDriver::OpenPopup() { frame.pmAutoRunPopup(); }

void ManagerDriver::Choose(ui::MenuItem& item) {
  OpenPopup();
  ChooseOpened(item);
}

void ManagerDriver::ChooseOpened(ui::MenuItem& item) {
  ui::RunHandler([&] { item.Click(); }, frame.Handle());
  Pump();
}

void ManagerDriver::Fill(const TAutoRunNode& node) {
  Listing listing = ListLocation(node);
  frame.rows_.Append(listing.rows);
}

void ManagerDriver::ClearRows() { frame.rows_.Clear(); }
bool ManagerDriver::Loading() const { return frame.loading_; }

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

int ManagerDriver::WatchedRelists() const { return frame.watchedRelists_; }

void ManagerDriver::AddAsDialogWould(const std::wstring& name, const std::wstring& path) {
  const TAutoRunNode node = *frame.NodeItem(frame.tvAutoRun.Selected());
  ui::RunHandler([&] { frame.AddAs(node, name, path); });
}

void ManagerDriver::SaveListAsDialogWould(const std::wstring& path) {
  ui::RunHandler([&] { frame.SaveListTo(path); });
}

void ManagerDriver::ChangeAsDialogWould(int row, const std::wstring& name, const std::wstring& path) {
  const EntryRef entry = EntryRef::Of(*frame.rows_.At(row));
  ui::RunHandler([&] { frame.ChangeTo(entry, name, path); });
}
