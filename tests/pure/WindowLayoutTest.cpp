#include <gtest/gtest.h>

#include "manager/WindowLayout.h"

namespace {

WindowLayout Sample() {
  WindowLayout layout;
  layout.left = -1200;
  layout.top = 40;
  layout.width = 800;
  layout.height = 350;
  layout.maximized = true;
  layout.dpi = 144;
  layout.treeWidth = 210;
  layout.columns = {90, 300, 0, 150};
  layout.sortColumn = 2;
  layout.ascending = false;
  layout.hideWindowsEntries = true;
  return layout;
}

bool Same(const WindowLayout& a, const WindowLayout& b) { return FormatLayout(a) == FormatLayout(b); }

TEST(WindowLayout, ReadsWhatItWrote) {
  WindowLayout read;
  ASSERT_TRUE(ParseLayout(FormatLayout(Sample()), read));
  EXPECT_TRUE(Same(read, Sample()));
  std::string unixLines = FormatLayout(Sample());
  for (size_t cr; (cr = unixLines.find('\r')) != std::string::npos;) unixLines.erase(cr, 1);
  EXPECT_TRUE(ParseLayout(unixLines, read));
  // A layout written before "Hide Windows' entries" existed hides nothing.
  std::string older = FormatLayout(Sample());
  older.erase(older.find("hide=1\r\n"));
  ASSERT_TRUE(ParseLayout(older, read));
  EXPECT_FALSE(read.hideWindowsEntries);
  EXPECT_EQ(read.columns, Sample().columns);
}

// Whatever is wrong, the layout read before stays as it was.
TEST(WindowLayout, RefusesAnythingButAWholeSaneLayout) {
  const std::string good = FormatLayout(Sample());
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    return text.replace(text.find(from), from.size(), to);
  };
  const std::string cases[] = {
      "",
      "garbage",
      good.substr(0, good.size() / 2),
      replaced("layout 1", "layout 2"),
      replaced("window=-1200,40,800,350", "window=-1200,40,0,350"),
      replaced("window=-1200,40,800,350", "window=-1200,40,800"),
      replaced("window=-1200,40,800,350", "window=-1200,40,800,350,1"),
      replaced("window=-1200,40,800,350", "window=-1200,40,99999999,350"),
      replaced("window=-1200,40,800,350", "window=-1200, 40,800,350"),
      replaced("maximized=1", "maximized=2"),
      replaced("dpi=144", "dpi=0"),
      replaced("tree=210", "tree=-5"),
      replaced("columns=90,300,0,150", "columns="),
      replaced("columns=90,300,0,150", "columns=90,,150"),
      replaced("sort=2,0", "sort=16,0"),
      replaced("sort=2,0", "sort=2,3"),
      replaced("tree=210", "tree=210\r\ntree=211"),
      replaced("tree=210", "tree=210\r\nextra=1"),
      replaced("dpi=144\r\n", ""),
      replaced("hide=1", "hide=2"),
      replaced("hide=1", "hide=1\r\nhide=1"),
  };
  for (const std::string& text : cases) {
    WindowLayout layout = Sample();
    EXPECT_FALSE(ParseLayout(text, layout)) << text;
    EXPECT_TRUE(Same(layout, Sample())) << text;
  }
}

}  // namespace
