#pragma once
#include <functional>
#include <string>
#include <vector>

#include "ui/CommonControl.h"

namespace ui {

class TreeView : public CommonControl {
 public:
  void Create(const ControlArgs& args);
  void SetImageList(HIMAGELIST images) { Send(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images)); }
  void SetIndent(int indent) { Send(TVM_SETINDENT, indent); }

  HTREEITEM Add(HTREEITEM parent, const std::string& caption, int image, int selectedImage, void* data);
  HTREEITEM Selected() const { return Next(nullptr, TVGN_CARET); }
  void Select(HTREEITEM item) { Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)); }
  HTREEITEM Parent(HTREEITEM item) const { return Next(item, TVGN_PARENT); }
  HTREEITEM FirstChild(HTREEITEM item) const { return Next(item, TVGN_CHILD); }
  HTREEITEM NextSibling(HTREEITEM item) const { return Next(item, TVGN_NEXT); }
  HTREEITEM Root() const { return Next(nullptr, TVGN_ROOT); }
  void* Data(HTREEITEM item) const;
  void SetData(HTREEITEM item, void* data);
  std::string Caption(HTREEITEM item) const;
  // Every node, roots and children, in the tree's flat order.
  std::vector<HTREEITEM> AllNodes() const;
  int Count() const { return static_cast<int>(Send(TVM_GETCOUNT)); }
  void DeleteAll() { Send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }

  // Raised after the selection changed, with the new node (or null).
  std::function<void(HTREEITEM)> OnChange;
  bool HandleNotify(NMHDR* header, LRESULT& result) override;

 private:
  HTREEITEM Next(HTREEITEM item, UINT relation) const {
    return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
  }
};

}  // namespace ui
