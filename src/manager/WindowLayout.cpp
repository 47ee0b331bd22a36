#include "manager/WindowLayout.h"

#include <map>

namespace {

const char* const kHeader = "Velmora window layout 1";
constexpr long kMostPixels = 100000;
constexpr size_t kMostColumns = 16;

// Comma-separated decimal integers, each within [low, high].
bool ParseNumbers(const std::string& text, long low, long high, std::vector<int>& numbers) {
  numbers.clear();
  size_t at = 0;
  for (;;) {
    const bool negative = at < text.size() && text[at] == '-';
    if (negative) ++at;
    const size_t digits = at;
    long value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - digits < 7) value = value * 10 + (text[at++] - '0');
    if (at == digits || (at < text.size() && text[at] >= '0' && text[at] <= '9')) return false;
    if (negative) value = -value;
    if (value < low || value > high) return false;
    numbers.push_back(static_cast<int>(value));
    if (at == text.size()) return true;
    if (text[at++] != ',' || numbers.size() >= kMostColumns) return false;
  }
}

}  // namespace

std::string FormatLayout(const WindowLayout& layout) {
  std::string text = std::string(kHeader) + "\r\n";
  text += "window=" + std::to_string(layout.left) + "," + std::to_string(layout.top) + "," +
          std::to_string(layout.width) + "," + std::to_string(layout.height) + "\r\n";
  text += "maximized=" + std::to_string(layout.maximized ? 1 : 0) + "\r\n";
  text += "dpi=" + std::to_string(layout.dpi) + "\r\n";
  text += "tree=" + std::to_string(layout.treeWidth) + "\r\n";
  text += "columns=";
  for (size_t at = 0; at < layout.columns.size(); ++at) text += (at ? "," : "") + std::to_string(layout.columns[at]);
  text += "\r\nsort=" + std::to_string(layout.sortColumn) + "," + std::to_string(layout.ascending ? 1 : 0) + "\r\n";
  text += "hide=" + std::to_string(layout.hideWindowsEntries ? 1 : 0) + "\r\n";
  return text;
}

bool ParseLayout(const std::string& text, WindowLayout& layout) {
  std::map<std::string, std::string> lines;
  size_t at = 0;
  bool first = true;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    at = end + 1;
    if (first) {
      if (line != kHeader) return false;
      first = false;
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos || !lines.emplace(line.substr(0, equals), line.substr(equals + 1)).second)
      return false;
  }
  WindowLayout read;
  std::vector<int> window, maximized, dpi, tree, sort, hide{0};
  const auto numbers = [&](const char* key, long low, long high, std::vector<int>& into, size_t count) {
    const auto line = lines.find(key);
    return line != lines.end() && ParseNumbers(line->second, low, high, into) && (count == 0 || into.size() == count);
  };
  const bool hasHide = lines.count("hide") != 0;
  if (first || lines.size() != (hasHide ? 7u : 6u) || (hasHide && !numbers("hide", 0, 1, hide, 1)) ||
      !numbers("window", -kMostPixels, kMostPixels, window, 4) ||
      !numbers("maximized", 0, 1, maximized, 1) || !numbers("dpi", 48, 960, dpi, 1) ||
      !numbers("tree", 0, kMostPixels, tree, 1) || !numbers("columns", 0, kMostPixels, read.columns, 0) ||
      !numbers("sort", -1, static_cast<long>(kMostColumns) - 1, sort, 2) || window[2] <= 0 || window[3] <= 0 ||
      sort[1] > 1 || sort[1] < 0)
    return false;
  read.left = window[0];
  read.top = window[1];
  read.width = window[2];
  read.height = window[3];
  read.maximized = maximized[0] == 1;
  read.dpi = dpi[0];
  read.treeWidth = tree[0];
  read.sortColumn = sort[0];
  read.ascending = sort[1] == 1;
  read.hideWindowsEntries = hide[0] == 1;
  layout = read;
  return true;
}
