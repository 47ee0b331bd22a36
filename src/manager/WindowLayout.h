#pragma once
// What the manager window looked like when it closed, kept per user and
// given back at the next opening: a few lines of text, so that a person
// can read it and a broken file is easy to refuse. Sizes are in pixels at
// `dpi`; the window's position in the screen's coordinates.
#include <string>
#include <vector>

struct WindowLayout {
  int left = 0, top = 0, width = 0, height = 0;  // the window when not maximized
  bool maximized = false;
  int dpi = 96;
  int treeWidth = 0;
  std::vector<int> columns;  // widths, in the list's order
  int sortColumn = -1;       // -1: the listing's own order
  bool ascending = true;
  bool hideWindowsEntries = false;  // a layout written before it existed says no
};

std::string FormatLayout(const WindowLayout& layout);
// False, leaving `layout` as it was, for anything but a whole layout of
// sane numbers: a file that cannot be read is ignored, never half used.
bool ParseLayout(const std::string& text, WindowLayout& layout);
