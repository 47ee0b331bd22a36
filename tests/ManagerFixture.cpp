#include "ManagerFixture.h"

#include <algorithm>

#include "common/Unicode.h"

std::string TreeShape(const ManagerDriver& frame) {
  std::string shape;
  const auto& tree = frame.tvAutoRun;
  for (HTREEITEM root = tree.Root(); root; root = tree.NextSibling(root)) {
    if (!shape.empty()) shape += ' ';
    shape += A(tree.Caption(root)) + '[';
    for (HTREEITEM child = tree.FirstChild(root); child; child = tree.NextSibling(child)) {
      if (child != tree.FirstChild(root)) shape += ',';
      shape += A(tree.Caption(child));
    }
    shape += ']';
  }
  return shape;
}

HTREEITEM FindNode(const ManagerDriver& frame, const std::string& root, const std::string& child) {
  const auto& tree = frame.tvAutoRun;
  for (HTREEITEM r = tree.Root(); r; r = tree.NextSibling(r)) {
    if (A(tree.Caption(r)) != root) continue;
    if (child.empty()) return r;
    for (HTREEITEM c = tree.FirstChild(r); c; c = tree.NextSibling(c))
      if (A(tree.Caption(c)) == child) return c;
  }
  return nullptr;
}

void SelectNode(ManagerDriver& frame, const std::string& root, const std::string& child) {
  HTREEITEM node = FindNode(frame, root, child);
  ASSERT_NE(node, nullptr) << root << "/" << child;
  frame.tvAutoRun.Select(node);
}

std::vector<std::string> Captions(const ManagerDriver& frame) {
  std::vector<std::string> rows;
  for (int i = 0; i < frame.lvAutoRun.Count(); ++i) rows.push_back(A(frame.lvAutoRun.Text(i)));
  return rows;
}

// By the row's exact name: the list's own search compares as the locale
// does, and would take "Strasse" for "Straße".
void SelectRow(ManagerDriver& frame, const std::string& caption) {
  for (int row = 0; row < frame.lvAutoRun.Count(); ++row)
    if (frame.RowItem(row)->Name == WideFromAnsi(caption)) {
      frame.lvAutoRun.SelectOnly(row);
      return;
    }
  ADD_FAILURE() << "no row named " << caption;
}

ManagerFixture::ManagerFixture(bool wow64View) { SetWow64ViewForTesting(wow64View ? -1 : 0); }

std::vector<std::wstring> SortedRows(const ManagerDriver& frame) {
  std::vector<std::wstring> rows;
  for (int i = 0; i < frame.lvAutoRun.Count(); ++i) rows.push_back(frame.lvAutoRun.Text(i));
  std::sort(rows.begin(), rows.end());
  return rows;
}

ManagerFixture::~ManagerFixture() {
  Close();
  SetWow64ViewForTesting(-1);
}

void ManagerFixture::Close() {
  manager_.reset();
  window.reset();
}

std::wstring BothViewsTest::Selected(ManagerDriver& frame) {
  const int row = frame.lvAutoRun.SelectedIndex();
  EXPECT_EQ(frame.lvAutoRun.FocusedIndex(), row);
  if (row < 0) return L"(none)";
  return frame.RowItem(row)->Node->Location.Text() + L"|" + frame.RowItem(row)->Name;
}

void BothViewsTest::SetUp() {
  EmptyAllKeys();
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kWow64Run, KEY_WOW64_64KEY, 0);
}

void ManagerFixture::EmptyAllKeys() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    for (const char* key : kRunKeys) sandbox.EmptyKey(root, key);
}

ManagerDriver& ManagerFixture::Open() {
  manager_.reset();
  window = std::make_unique<TVelmoraWin>();
  ShowWindow(window->Handle(), SW_SHOWNOACTIVATE);
  PumpUntilIdle();
  manager_ = std::make_unique<ManagerDriver>(*window->Velmora);
  return *manager_;
}

ManagerDriver& ManagerFixture::Open(const std::string& root, const std::string& child) {
  ManagerDriver& frame = Open();
  SelectNode(frame, root, child);
  return frame;
}

std::function<void(HWND)> FillItemDialog(const std::wstring& name, const std::wstring& path) {
  return [=](HWND dialog) {
    HWND nameEdit = FindWindowExA(dialog, nullptr, "Edit", nullptr);
    SetWindowTextW(nameEdit, name.c_str());
    SetWindowTextW(FindWindowExA(dialog, nameEdit, "Edit", nullptr), path.c_str());
    HWND ok = FindWindowExA(dialog, nullptr, "VelmoraSpeedButton", nullptr);
    SendMessageA(ok, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(ok, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  };
}
