#include "ui/ListView.h"

#include <vector>

#include "common/Unicode.h"

namespace ui {

void ListView::Create(const CreateArgs& args) {
  CreateControl(WC_LISTVIEWW, args);
  SubclassControl();
  // The list asked its parent for the notifications' form while it was
  // being made, before its wrapper was known: it asks again now.
  Send(WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(args.parent), NF_REQUERY);
}

ListView::~ListView() {
  Destroy();
  if (boldFont_) DeleteObject(boldFont_);
}

// A key with Alt held comes as WM_SYSKEYDOWN, which the list does not
// report with LVN_KEYDOWN.
bool ListView::OnControlMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  if (message != WM_SYSKEYDOWN || !OnKeyDown) return false;
  KeyEvent event = KeyEventOf(static_cast<WORD>(wParam));
  OnKeyDown(event);
  result = 0;
  return event.key == 0;
}

void ListView::AddColumn(const std::wstring& caption, int width, int shownAt) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<wchar_t*>(caption.c_str());
  column.cx = width;
  const LRESULT count = SendMessageW(ListView_GetHeader(Handle()), HDM_GETITEMCOUNT, 0, 0);
  Send(LVM_INSERTCOLUMNW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&column));
  ++columns_;
  if (TextOf && columns_ > 1)
    for (int row = 0, rows = Count(); row < rows; ++row) SetItemText(row, columns_ - 1, LPSTR_TEXTCALLBACKW);
  if (shownAt < 0 || shownAt >= columns_ - 1) return;
  // Placed by the order array, which the list paints by (Wine's list
  // does not place a column inserted with LVCF_ORDER where it paints it).
  std::vector<int> order(static_cast<size_t>(columns_));
  Send(LVM_GETCOLUMNORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data()));
  order.pop_back();
  order.insert(order.begin() + shownAt, columns_ - 1);
  Send(LVM_SETCOLUMNORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data()));
}

void ListView::RemoveLastColumn() {
  if (columns_ <= 1) return;
  Send(LVM_DELETECOLUMN, static_cast<WPARAM>(columns_ - 1));
  --columns_;
}

int ListView::ColumnWidth(int column) const {
  return static_cast<int>(Send(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
}

void ListView::SetColumnWidth(int column, int width) {
  Send(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0));
}

HDITEMW ListView::HeaderFormat(int column) const {
  HDITEMW item{};
  item.mask = HDI_FORMAT;
  SendMessageW(ListView_GetHeader(Handle()), HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
  return item;
}

void ListView::SetSortMark(int column, SortMark mark) {
  for (int at = 0; at < columns_; ++at) {
    HDITEMW item = HeaderFormat(at);
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (at == column && mark != SortMark::None) item.fmt |= mark == SortMark::Up ? HDF_SORTUP : HDF_SORTDOWN;
    SendMessageW(ListView_GetHeader(Handle()), HDM_SETITEMW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
  }
}

ListView::SortMark ListView::SortMarkOf(int column) const {
  const int format = HeaderFormat(column).fmt;
  return format & HDF_SORTUP ? SortMark::Up : format & HDF_SORTDOWN ? SortMark::Down : SortMark::None;
}

namespace {
int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM compare) {
  return (*reinterpret_cast<const std::function<int(const void*, const void*)>*>(compare))(
      reinterpret_cast<const void*>(first), reinterpret_cast<const void*>(second));
}
}  // namespace

void ListView::Sort(const std::function<int(const void* first, const void* second)>& compare) {
  Send(LVM_SORTITEMS, reinterpret_cast<WPARAM>(&compare), reinterpret_cast<LPARAM>(&CompareRows));
}

namespace {
UINT StateImageOf(ListView::Check check) { return INDEXTOSTATEIMAGEMASK(static_cast<UINT>(check)); }
}  // namespace

int ListView::Insert(int index, const std::wstring& caption, int image, const void* data, Check check) {
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
  item.iItem = index;
  item.pszText = TextOf ? LPSTR_TEXTCALLBACKW : const_cast<wchar_t*>(caption.c_str());
  item.iImage = ImageOf ? I_IMAGECALLBACK : image;
  item.lParam = reinterpret_cast<LPARAM>(data);
  item.state = StateImageOf(check);
  item.stateMask = LVIS_STATEIMAGEMASK;
  settingCheck_ = true;
  const int inserted = static_cast<int>(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  // A list with check boxes may give every new row a cleared box.
  if (inserted >= 0 && CheckOf(inserted) != check) SetState(inserted, StateImageOf(check), LVIS_STATEIMAGEMASK);
  settingCheck_ = false;
  if (inserted >= 0 && TextOf)
    for (int column = 1; column < columns_; ++column) SetItemText(inserted, column, LPSTR_TEXTCALLBACKW);
  return inserted;
}

void ListView::AnswerText(NMLVDISPINFOW& request) const {
  const void* data = request.item.lParam ? reinterpret_cast<const void*>(request.item.lParam) : Data(request.item.iItem);
  if ((request.item.mask & LVIF_IMAGE) && ImageOf && data) request.item.iImage = ImageOf(data);
  if (!(request.item.mask & LVIF_TEXT) || !TextOf || !request.item.pszText || request.item.cchTextMax <= 0) return;
  const std::wstring text = data ? TextOf(data, request.item.iSubItem) : std::wstring();
  const size_t room = static_cast<size_t>(request.item.cchTextMax) - 1;
  const size_t length = text.size() < room ? text.size() : room;
  text.copy(request.item.pszText, length);
  request.item.pszText[length] = L'\0';
}

void ListView::ScrollToTop(int row) {
  const int top = TopIndex();
  RECT bounds{};
  bounds.left = LVIR_BOUNDS;
  if (row == top || top < 0 || !Send(LVM_GETITEMRECT, static_cast<WPARAM>(top), reinterpret_cast<LPARAM>(&bounds)))
    return;
  Send(LVM_SCROLL, 0, static_cast<LPARAM>((row - top) * (bounds.bottom - bounds.top)));
}

void ListView::SetImage(int index, int image) {
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = index;
  item.iImage = image;
  Send(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void ListView::SetCheck(int index, Check check) {
  settingCheck_ = true;
  SetState(index, StateImageOf(check), LVIS_STATEIMAGEMASK);
  settingCheck_ = false;
}

ListView::Check ListView::CheckOf(int index) const {
  switch (State(index, LVIS_STATEIMAGEMASK) >> 12) {
    case 1:
      return Check::Cleared;
    case 2:
      return Check::Checked;
    default:
      return Check::None;
  }
}

void ListView::SetItemText(int index, int column, wchar_t* text) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  Send(LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

std::wstring ListView::Text(int index, int column) const {
  std::vector<wchar_t> buffer(1024);
  for (;;) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    const auto length =
        static_cast<size_t>(Send(LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
    if (length + 1 < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 4);
  }
}


const void* ListView::Data(int index) const {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  if (index < 0 || !Send(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<const void*>(item.lParam);
}

int ListView::IndexOf(const void* data) const {
  LVFINDINFOW find{};
  find.flags = LVFI_PARAM;
  find.lParam = reinterpret_cast<LPARAM>(data);
  return static_cast<int>(Send(LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

void ListView::SetData(int index, const void* data) {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  item.lParam = reinterpret_cast<LPARAM>(data);
  Send(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void ListView::SetState(int index, UINT state, UINT mask) {
  LVITEMW item{};
  item.stateMask = mask;
  item.state = state;
  Send(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

int ListView::FindCaption(const std::wstring& caption) const {
  LVFINDINFOW find{};
  find.flags = LVFI_STRING;
  find.psz = caption.c_str();
  return static_cast<int>(Send(LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

POINT ListView::KeyboardMenuPoint() const {
  int row = FocusedIndex();
  if (row < 0) row = SelectedIndex();
  RECT bounds{};
  bounds.left = LVIR_BOUNDS;
  if (row < 0 || !Send(LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds)) ||
      bounds.top < 0 || bounds.top >= ClientRect().bottom)
    return Window::KeyboardMenuPoint();
  return POINT{4, bounds.top};
}

// The style is on only while the edit is open, so that a click on the
// selected row never starts one.
void ListView::EditLabel(int index) {
  SetFocus(Handle());
  SetWindowLongPtrW(Handle(), GWL_STYLE, GetWindowLongPtrW(Handle(), GWL_STYLE) | LVS_EDITLABELS);
  if (!Send(LVM_EDITLABELW, static_cast<WPARAM>(index)))
    SetWindowLongPtrW(Handle(), GWL_STYLE, GetWindowLongPtrW(Handle(), GWL_STYLE) & ~LVS_EDITLABELS);
}

void ListView::BeginUpdate() {
  if (updateDepth_++ == 0) Send(WM_SETREDRAW, FALSE);
}

// The list invalidates itself when its redrawing is turned back on (apps
// rely on it); invalidating it again made it paint twice.
void ListView::EndUpdate() {
  if (updateDepth_ > 0 && --updateDepth_ == 0) Send(WM_SETREDRAW, TRUE);
}

LRESULT ListView::CustomDraw(NMLVCUSTOMDRAW& draw) {
  if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
  const void* data = reinterpret_cast<const void*>(draw.nmcd.lItemlParam);
  if (!data || !BoldOf(data)) return CDRF_DODEFAULT;
  if (!boldFont_) {
    LOGFONTW shape{};
    const auto font = reinterpret_cast<HFONT>(Send(WM_GETFONT));
    GetObjectW(font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT), sizeof shape, &shape);
    shape.lfWeight = FW_BOLD;
    boldFont_ = CreateFontIndirectW(&shape);
  }
  if (!boldFont_) return CDRF_DODEFAULT;
  SelectObject(draw.nmcd.hdc, boldFont_);
  return CDRF_NEWFONT;
}

bool ListView::OnNotifyReflect(NMHDR* header, LRESULT& result) {
  result = 0;
  switch (header->code) {
    case LVN_ITEMCHANGING: {
      // The list toggles a box on a click or Space, also on a row that has
      // none; the handler decides instead.
      const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
      const bool boxChanges = (change->uChanged & LVIF_STATE) &&
                              ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) && change->iItem >= 0;
      if (!boxChanges || settingCheck_) return true;
      result = TRUE;
      CheckClickEvent event{change->iItem};
      if (OnCheckClick) OnCheckClick(event);
      return true;
    }
    case LVN_ITEMCHANGED: {
      const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
      ItemChangedEvent event{change->iItem};
      const UINT changed = change->uNewState ^ change->uOldState;
      const bool onlyTheBox = changed && !(changed & ~static_cast<UINT>(LVIS_STATEIMAGEMASK));
      if ((change->uChanged & LVIF_STATE) && !onlyTheBox && OnItemChanged) OnItemChanged(event);
      return true;
    }
    case LVN_GETDISPINFOW:
      AnswerText(*reinterpret_cast<NMLVDISPINFOW*>(header));
      return true;
    case LVN_BEGINLABELEDITW: {
      LabelEditEvent event{reinterpret_cast<NMLVDISPINFOW*>(header)->item.iItem, nullptr, true};
      if (OnBeginLabelEdit) OnBeginLabelEdit(event);
      result = event.allow ? FALSE : TRUE;
      return true;
    }
    case LVN_ENDLABELEDITW: {
      const auto* edit = reinterpret_cast<NMLVDISPINFOW*>(header);
      SetWindowLongPtrW(Handle(), GWL_STYLE, GetWindowLongPtrW(Handle(), GWL_STYLE) & ~LVS_EDITLABELS);
      LabelEditEvent event{edit->item.iItem, edit->item.pszText, true};
      if (OnEndLabelEdit) OnEndLabelEdit(event);
      result = FALSE;
      return true;
    }
    case NM_CUSTOMDRAW:
      if (!BoldOf) return false;
      result = CustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(header));
      return true;
    case LVN_DELETEALLITEMS:
      result = TRUE;  // no LVN_DELETEITEM for every row
      return true;
    case LVN_COLUMNCLICK: {
      ColumnClickEvent event{reinterpret_cast<NMLISTVIEW*>(header)->iSubItem};
      if (OnColumnClick) OnColumnClick(event);
      return true;
    }
    case NM_DBLCLK: {
      DoubleClickEvent event{reinterpret_cast<NMITEMACTIVATE*>(header)->iItem};
      if (OnDoubleClick) OnDoubleClick(event);
      return true;
    }
    case LVN_KEYDOWN:
      if (OnKeyDown) {
        KeyEvent event = KeyEventOf(reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey);
        OnKeyDown(event);
      }
      return true;
    default:
      return false;
  }
}

}  // namespace ui
