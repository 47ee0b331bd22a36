#pragma once
// Owners of GDI objects and device contexts.
#include <windows.h>

#include <string>

namespace ui {

class Font {
 public:
  Font() = default;
  Font(const wchar_t* face, int height, bool bold = false);
  ~Font() { Reset(); }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  HFONT Get() const { return font_; }
  void Create(const wchar_t* face, int height, bool bold = false);
  void Reset();

 private:
  HFONT font_ = nullptr;
};

// A window's client DC with the window's font selected, released on exit.
class WindowDC {
 public:
  explicit WindowDC(HWND window);
  ~WindowDC();
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
  HGDIOBJ previousFont_ = nullptr;
};

// Selects an object into a DC for one scope.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectScope() { SelectObject(dc_, previous_); }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace ui
