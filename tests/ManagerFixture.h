#pragma once
// What the manager tests share: a sandboxed registry and Startup folders,
// a manager window made in the test, a driver for its modal windows, and
// helpers that read and select in the tree and the list.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AutorunSandbox.h"
#include "GuiSupport.h"
#include "ManagerDriver.h"
#include "manager/LocationCatalogue.h"
#include "manager/velwin.h"

// The tree as text: "ROOT[child,child] ROOT[...]".
std::string TreeShape(const ManagerDriver& frame);
// A root, or one of its children; null when absent.
HTREEITEM FindNode(const ManagerDriver& frame, const std::string& root, const std::string& child = "");
void SelectNode(ManagerDriver& frame, const std::string& root, const std::string& child = "");
std::vector<std::string> Captions(const ManagerDriver& frame);
// The list's Name column, sorted.
std::vector<std::wstring> SortedRows(const ManagerDriver& frame);
void SelectRow(ManagerDriver& frame, const std::string& caption);
// Types into the item dialog's Unicode edit boxes, as pasting does, and
// presses OK.
std::function<void(HWND)> FillItemDialog(const std::wstring& name, const std::wstring& path);

class ManagerFixture : public testing::Test {
 protected:
  AutorunSandbox sandbox;
  std::unique_ptr<TVelmoraWin> window;
  WindowDriver driver;

  // Plays 32-bit Windows unless a test asks for the 32-bit view's nodes.
  explicit ManagerFixture(bool wow64View = false);
  ~ManagerFixture() override;
  // Every autorun key of both roots present and empty.
  void EmptyAllKeys();
  // A fresh manager window, shown without activation.
  ManagerDriver& Open();
  ManagerDriver& Open(const std::string& root, const std::string& child);
  // Closes the manager window: its watches let go of the folders.
  void Close();

 private:
  std::unique_ptr<ManagerDriver> manager_;
};

// Both registry views shown, every autorun key empty, the 32-bit
// programs' Run key gone.
class BothViewsTest : public ManagerFixture {
 protected:
  BothViewsTest() : ManagerFixture(true) {}
  void SetUp() override;
  // The selected row's entry, as "location|name"; the keyboard focus is
  // expected on the same row.
  std::wstring Selected(ManagerDriver& frame);
};
