#pragma once
#include <functional>
#include <string>

#include "ui/Window.h"

namespace ui {

class ListView : public Window {
 public:
  struct ItemChangedEvent {
    int item;  // -1 for none
  };
  struct ColumnClickEvent {
    int column;
  };
  struct DoubleClickEvent {
    int item;  // the row under the mouse, -1 for none
  };
  // A row's check box (the lists made with LVS_EX_CHECKBOXES): none, or
  // cleared, or checked.
  enum class Check { None, Cleared, Checked };
  // The user clicked a row's check box or pressed Space on it. The list
  // does not change the box itself: the handler decides and sets it.
  struct CheckClickEvent {
    int item;
  };

  void Create(const CreateArgs& args);
  ~ListView() override;
  void SetSmallImages(HIMAGELIST images) { Send(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)); }
  void SetExtendedStyle(DWORD style) { Send(LVM_SETEXTENDEDLISTVIEWSTYLE, style, static_cast<LPARAM>(style)); }
  // A column added to rows already there asks for their texts too;
  // `shownAt` places it among the others on screen (-1: last).
  void AddColumn(const std::wstring& caption, int width, int shownAt = -1);
  void RemoveLastColumn();
  int ColumnCount() const { return columns_; }
  int ColumnWidth(int column) const;
  void SetColumnWidth(int column, int width);
  // The arrow a column's header shows; one column at most has one.
  enum class SortMark { None, Up, Down };
  void SetSortMark(int column, SortMark mark);
  SortMark SortMarkOf(int column) const;
  // Puts the rows in the order `compare` gives their data (negative: the
  // first goes before the second); their selection and focus go with them.
  void Sort(const std::function<int(const void* first, const void* second)>& compare);

  int Count() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
  // When set, the list keeps no texts of its own: every row inserted from
  // then on shows what TextOf answers for its data, column by column, when
  // the row is painted or its text is asked for. Set before the first row.
  std::function<std::wstring(const void* data, int column)> TextOf;
  // The same for the rows' pictures: asked when a row is painted, so a
  // picture that costs work is worked out for the rows on screen only.
  std::function<int(const void* data)> ImageOf;
  // Rows for which this answers true are drawn in bold.
  std::function<bool(const void* data)> BoldOf;
  // The first row shown, and scrolling so that `row` is the first shown
  // (as far as the rows below it fill the list).
  int TopIndex() const { return static_cast<int>(Send(LVM_GETTOPINDEX)); }
  void ScrollToTop(int row);
  void EnsureVisible(int row) { Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE); }
  // Repaints a row whose texts TextOf now answers differently.
  void RedrawRow(int index) { Send(LVM_REDRAWITEMS, static_cast<WPARAM>(index), static_cast<LPARAM>(index)); }
  // Appends a row with its image and data in one insertion, so that no
  // notification ever meets the row without its data; returns its index.
  // With TextOf set, `caption` is not used.
  int Add(const std::wstring& caption, int image, const void* data) { return Insert(Count(), caption, image, data); }
  int Insert(int index, const std::wstring& caption, int image, const void* data, Check check = Check::None);
  void SetData(int index, const void* data);
  void SetImage(int index, int image);
  void SetCheck(int index, Check check);
  Check CheckOf(int index) const;
  std::wstring Text(int index, int column = 0) const;
  const void* Data(int index) const;
  // The row holding `data`; -1 when none does.
  int IndexOf(const void* data) const;
  void Delete(int index) { Send(LVM_DELETEITEM, static_cast<WPARAM>(index)); }
  void DeleteAll() { Send(LVM_DELETEALLITEMS); }

  int SelectedIndex() const { return NextIndex(LVNI_SELECTED); }
  // The next selected row after `row` (-1: the first); -1 when none.
  int NextSelected(int row) const {
    return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(row), static_cast<LPARAM>(LVNI_SELECTED)));
  }
  int FocusedIndex() const { return NextIndex(LVNI_FOCUSED); }
  bool IsSelected(int index) const { return State(index, LVIS_SELECTED) != 0; }
  bool IsFocused(int index) const { return State(index, LVIS_FOCUSED) != 0; }
  void SetSelected(int index, bool selected) { SetState(index, selected ? LVIS_SELECTED : 0, LVIS_SELECTED); }
  // Selects `index` and no other row, as a plain click does. Only the
  // rows selected are touched: clearing all rows at once visits each.
  // Each search for the next selected row walks the rows after it: the
  // walk ends at the last selected row, not at the end of a long list.
  void SelectOnly(int index) {
    int remaining = SelectedCount();
    for (int row = remaining > 0 ? NextSelected(-1) : -1; row >= 0; row = --remaining > 0 ? NextSelected(row) : -1)
      if (row != index) SetSelected(row, false);
    SetSelected(index, true);
  }
  int SelectedCount() const { return static_cast<int>(Send(LVM_GETSELECTEDCOUNT)); }
  void SetFocused(int index, bool focused) { SetState(index, focused ? LVIS_FOCUSED : 0, LVIS_FOCUSED); }
  // Whole-caption search from the first row, ignoring letter case; -1 when none.
  int FindCaption(const std::wstring& caption) const;
  // A menu from the keyboard opens on the focused row: its top edge on the
  // row, its left edge inside the list.
  POINT KeyboardMenuPoint() const override;

  // Redrawing is suspended between BeginUpdate and the matching EndUpdate.
  void BeginUpdate();
  void EndUpdate();
  int UpdateDepth() const { return updateDepth_; }

  std::function<void(ItemChangedEvent&)> OnItemChanged;  // a row's selection or focus changed
  std::function<void(CheckClickEvent&)> OnCheckClick;
  std::function<void(DoubleClickEvent&)> OnDoubleClick;
  std::function<void(ColumnClickEvent&)> OnColumnClick;  // a header clicked
  // In-place renaming: EditLabel opens the row's name for editing when
  // OnBeginLabelEdit allows it; OnEndLabelEdit gets what the user typed
  // (nothing when cancelled). The row keeps its text: the handler changes
  // what it shows. Only EditLabel opens the edit: a click does not.
  struct LabelEditEvent {
    int item;
    const wchar_t* text;  // the new text; null when cancelled
    bool allow;           // OnBeginLabelEdit: set false to refuse
  };
  std::function<void(LabelEditEvent&)> OnBeginLabelEdit;
  std::function<void(LabelEditEvent&)> OnEndLabelEdit;
  void EditLabel(int index);
  // Every key pressed in the list, with Alt held too (those the list
  // does not report); a handler that sets `key` to 0 swallows it.
  std::function<void(KeyEvent&)> OnKeyDown;

 protected:
  bool OnNotifyReflect(NMHDR* header, LRESULT& result) override;
  bool WantsUnicodeNotifications() const override { return true; }
  bool OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  int NextIndex(UINT flags) const {
    return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), static_cast<LPARAM>(flags)));
  }
  UINT State(int index, UINT mask) const {
    return static_cast<UINT>(Send(LVM_GETITEMSTATE, static_cast<WPARAM>(index), static_cast<LPARAM>(mask)));
  }
  void SetState(int index, UINT state, UINT mask);
  void AnswerText(NMLVDISPINFOW& request) const;
  // A header item's format (its sort arrow among it).
  HDITEMW HeaderFormat(int column) const;
  LRESULT CustomDraw(NMLVCUSTOMDRAW& draw);
  HFONT boldFont_ = nullptr;
  // A column's text, or LPSTR_TEXTCALLBACKW.
  void SetItemText(int index, int column, wchar_t* text);
  int updateDepth_ = 0;
  int columns_ = 0;
  bool settingCheck_ = false;  // a change of ours, not the user's
};

// Holds a list's update bracket for one scope.
class ListUpdateBracket {
 public:
  explicit ListUpdateBracket(ListView& list) : list_(list) { list_.BeginUpdate(); }
  ~ListUpdateBracket() { list_.EndUpdate(); }
  ListUpdateBracket(const ListUpdateBracket&) = delete;
  ListUpdateBracket& operator=(const ListUpdateBracket&) = delete;

 private:
  ListView& list_;
};

}  // namespace ui
