#pragma once
#include <functional>
#include <string>

#include "ui/Window.h"

namespace ui {

class TreeView : public Window {
 public:
  struct SelectionChangedEvent {
    HTREEITEM node;  // the new selection, or null
  };

  void Create(const CreateArgs& args) { CreateControl(WC_TREEVIEWW, args); }
  void SetImageList(HIMAGELIST images) { Send(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images)); }
  void SetIndent(int indent) { Send(TVM_SETINDENT, static_cast<WPARAM>(indent)); }

  HTREEITEM Add(HTREEITEM parent, const std::wstring& caption, int image, int selectedImage, const void* data);
  HTREEITEM Selected() const { return Next(nullptr, TVGN_CARET); }
  void Select(HTREEITEM item) { Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)); }
  HTREEITEM Parent(HTREEITEM item) const { return Next(item, TVGN_PARENT); }
  HTREEITEM FirstChild(HTREEITEM item) const { return Next(item, TVGN_CHILD); }
  HTREEITEM NextSibling(HTREEITEM item) const { return Next(item, TVGN_NEXT); }
  HTREEITEM Root() const { return Next(nullptr, TVGN_ROOT); }
  // The next node in the tree's flat order (a node's children before its
  // next sibling), expanded or not; null after the last.
  HTREEITEM NextInOrder(HTREEITEM item) const;
  const void* Data(HTREEITEM item) const;
  std::wstring Caption(HTREEITEM item) const;
  int Count() const { return static_cast<int>(Send(TVM_GETCOUNT)); }
  int ItemHeight() const { return static_cast<int>(Send(TVM_GETITEMHEIGHT)); }
  void DeleteAll() { Send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }

  std::function<void(SelectionChangedEvent&)> OnSelectionChanged;

 protected:
  bool OnNotifyReflect(NMHDR* header, LRESULT& result) override;

 private:
  HTREEITEM Next(HTREEITEM item, UINT relation) const {
    return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
  }
};

}  // namespace ui
