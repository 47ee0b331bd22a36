#include "ui/TreeView.h"

namespace ui {

void TreeView::Create(const ControlArgs& args) { CommonControl::Create(WC_TREEVIEWA, args); }

HTREEITEM TreeView::Add(HTREEITEM parent, const std::string& caption, int image, int selectedImage, void* data) {
  TVINSERTSTRUCTA insert{};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(caption.c_str());
  insert.item.iImage = image;
  insert.item.iSelectedImage = selectedImage;
  insert.item.lParam = reinterpret_cast<LPARAM>(data);
  return reinterpret_cast<HTREEITEM>(Send(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

void* TreeView::Data(HTREEITEM item) const {
  TVITEMA tvItem{};
  tvItem.mask = TVIF_PARAM | TVIF_HANDLE;
  tvItem.hItem = item;
  if (!item || !Send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem))) return nullptr;
  return reinterpret_cast<void*>(tvItem.lParam);
}

void TreeView::SetData(HTREEITEM item, void* data) {
  TVITEMA tvItem{};
  tvItem.mask = TVIF_PARAM | TVIF_HANDLE;
  tvItem.hItem = item;
  tvItem.lParam = reinterpret_cast<LPARAM>(data);
  Send(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem));
}

std::string TreeView::Caption(HTREEITEM item) const {
  char text[512] = "";
  TVITEMA tvItem{};
  tvItem.mask = TVIF_TEXT | TVIF_HANDLE;
  tvItem.hItem = item;
  tvItem.pszText = text;
  tvItem.cchTextMax = sizeof text;
  Send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem));
  return text;
}

std::vector<HTREEITEM> TreeView::AllNodes() const {
  std::vector<HTREEITEM> nodes;
  for (HTREEITEM root = Root(); root; root = NextSibling(root)) {
    nodes.push_back(root);
    for (HTREEITEM child = FirstChild(root); child; child = NextSibling(child)) nodes.push_back(child);
  }
  return nodes;
}

bool TreeView::HandleNotify(NMHDR* header, LRESULT& result) {
  if (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW) {
    if (OnChange) OnChange(reinterpret_cast<NMTREEVIEWA*>(header)->itemNew.hItem);
    result = 0;
    return true;
  }
  return false;
}

}  // namespace ui
