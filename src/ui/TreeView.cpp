#include "ui/TreeView.h"

namespace ui {

HTREEITEM TreeView::Add(HTREEITEM parent, const std::wstring& caption, int image, int selectedImage,
                        const void* data) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  insert.item.pszText = const_cast<wchar_t*>(caption.c_str());
  insert.item.iImage = image;
  insert.item.iSelectedImage = selectedImage;
  insert.item.lParam = reinterpret_cast<LPARAM>(data);
  return reinterpret_cast<HTREEITEM>(Send(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

const void* TreeView::Data(HTREEITEM item) const {
  TVITEMW tvItem{};
  tvItem.mask = TVIF_PARAM | TVIF_HANDLE;
  tvItem.hItem = item;
  if (!item || !Send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvItem))) return nullptr;
  return reinterpret_cast<const void*>(tvItem.lParam);
}

std::wstring TreeView::Caption(HTREEITEM item) const {
  wchar_t text[512] = L"";
  TVITEMW tvItem{};
  tvItem.mask = TVIF_TEXT | TVIF_HANDLE;
  tvItem.hItem = item;
  tvItem.pszText = text;
  tvItem.cchTextMax = 512;
  Send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvItem));
  return text;
}

bool TreeView::OnNotifyReflect(NMHDR* header, LRESULT& result) {
  if (header->code != TVN_SELCHANGEDA && header->code != TVN_SELCHANGEDW) return false;
  SelectionChangedEvent event{reinterpret_cast<NMTREEVIEWA*>(header)->itemNew.hItem};
  if (OnSelectionChanged) OnSelectionChanged(event);
  result = 0;
  return true;
}

HTREEITEM TreeView::NextInOrder(HTREEITEM item) const {
  if (HTREEITEM child = FirstChild(item)) return child;
  for (; item; item = Parent(item))
    if (HTREEITEM sibling = NextSibling(item)) return sibling;
  return nullptr;
}

}  // namespace ui
