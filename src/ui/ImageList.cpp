#include "ui/ImageList.h"

namespace ui {

bool ImageList::LoadStrip(HINSTANCE instance, int resourceId, int imageWidth, COLORREF transparent) {
  Destroy();
  list_ = ImageList_LoadImageA(instance, MAKEINTRESOURCEA(resourceId), imageWidth, 0, transparent, IMAGE_BITMAP,
                               LR_CREATEDIBSECTION);
  return list_ != nullptr;
}

void ImageList::Destroy() {
  if (list_) ImageList_Destroy(list_);
  list_ = nullptr;
}

}  // namespace ui
