#pragma once
#include <windows.h>
#include <commctrl.h>

namespace ui {

// Owns an image list of small images.
class ImageList {
 public:
  ImageList() = default;
  ~ImageList() { Destroy(); }
  ImageList(const ImageList&) = delete;
  ImageList& operator=(const ImageList&) = delete;

  // Loads a strip of 16x16 images from a bitmap resource; `transparent`
  // is the colour that shows the background.
  bool LoadStrip(HINSTANCE instance, int resourceId, int imageWidth, COLORREF transparent);
  // Adds a copy of image `index` half way to `towards` (the list's
  // background), with its mask, as Explorer shows a hidden file's icon;
  // the new image's index, or -1.
  int AddFaded(int index, COLORREF towards);
  HIMAGELIST Get() const { return list_; }
  int Count() const { return list_ ? ImageList_GetImageCount(list_) : 0; }
  void Destroy();

 private:
  HIMAGELIST list_ = nullptr;
};

}  // namespace ui
