#include "ui/ImageList.h"

namespace ui {

bool ImageList::LoadStrip(HINSTANCE instance, int resourceId, int imageWidth, COLORREF transparent) {
  Destroy();
  list_ = ImageList_LoadImageA(instance, MAKEINTRESOURCEA(resourceId), imageWidth, 0, transparent, IMAGE_BITMAP,
                               LR_CREATEDIBSECTION);
  return list_ != nullptr;
}

int ImageList::AddFaded(int index, COLORREF towards) {
  int width = 0, height = 0;
  if (!list_ || !ImageList_GetIconSize(list_, &width, &height)) return -1;
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP picture = CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  HBITMAP mask = CreateBitmap(width, height, 1, 1, nullptr);
  int added = -1;
  if (dc && picture && mask) {
    const HGDIOBJ old = SelectObject(dc, picture);
    const RECT all{0, 0, width, height};
    HBRUSH background = CreateSolidBrush(towards);
    FillRect(dc, &all, background);
    DeleteObject(background);
    ImageList_Draw(list_, index, dc, 0, 0, ILD_NORMAL);
    GdiFlush();
    auto* pixel = static_cast<BYTE*>(bits);
    const BYTE to[3] = {GetBValue(towards), GetGValue(towards), GetRValue(towards)};
    for (int at = 0; at < width * height; ++at, pixel += 4)
      for (int channel = 0; channel < 3; ++channel) pixel[channel] = static_cast<BYTE>((pixel[channel] + to[channel]) / 2);
    SelectObject(dc, mask);
    ImageList_Draw(list_, index, dc, 0, 0, ILD_MASK);
    SelectObject(dc, old);
    added = ImageList_Add(list_, picture, mask);
  }
  if (mask) DeleteObject(mask);
  if (picture) DeleteObject(picture);
  if (dc) DeleteDC(dc);
  return added;
}

void ImageList::Destroy() {
  if (list_) ImageList_Destroy(list_);
  list_ = nullptr;
}

}  // namespace ui
