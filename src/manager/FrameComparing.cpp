// The list against a list the user saved: choosing the list, the compared
// column, the caption strip's name of it and its "Stop comparing", and the
// rows of entries gone since. What each row is against the list is
// ListComparison's.
#include "common/Csv.h"
#include "common/Errors.h"
#include "common/FileTools.h"
#include "manager/EntryCommands.h"
#include "manager/velframe.h"
#include "ui/CommonDialogs.h"

namespace {
// The folder of the list chosen last, for the next open dialog of this
// process (the manager may be opened again).
std::wstring& LastListFolder() {
  static std::wstring folder;
  return folder;
}

// At most this many lines are named; the rest are counted.
constexpr size_t kProblemsNamed = 20;
}  // namespace

void TVelmora::CompareWithList() {
  const std::wstring path =
      ui::AskWhichToOpen(Handle(), L"CSV files\0*.csv\0All files\0*.*\0", LastListFolder());
  if (!path.empty()) CompareWith(path);
}

void TVelmora::CompareWith(const std::wstring& path) {
  std::vector<std::wstring> places;
  for (const auto& node : places_.Nodes())
    if (!node->ListsRecords && node->Location.kind != LocationKind::None) places.push_back(node->Location.Text());
  const std::vector<std::wstring> problems = places_.Comparison().Start(path, places);
  // Every program is looked at again, so that a file replaced since the
  // rows were listed is compared as it is now.
  if (places_.Comparison().Active()) {
    rows_.SettleAgain();
    ShowComparing();
    StartIdleWork();
  }
  if (problems.empty()) return;
  std::wstring text;
  for (size_t at = 0; at < problems.size() && at < kProblemsNamed; ++at) text += (at ? L"\n" : L"") + problems[at];
  if (problems.size() > kProblemsNamed)
    text += L"\n... and " + std::to_wstring(problems.size() - kProblemsNamed) + L" more lines left out";
  throw EVelmoraError(Utf8Of(text));
}

void TVelmora::StopComparing() {
  places_.Comparison().Stop();
  ShowComparing();
}

void TVelmora::ShowComparing() {
  const bool comparing = places_.Comparison().Active();
  const bool shown = lvAutoRun.ColumnCount() > kLaidOutColumns;
  if (comparing && !shown) {
    ui::ListUpdateBracket bracket(lvAutoRun);
    // Beside the name: the mark is what the user reads the list for now.
    lvAutoRun.AddColumn(L"Compared", Scaled(150), 1);
  } else if (!comparing && shown) {
    if (rows_.Order().column == kComparedColumn) rows_.SortBy(RowOrder());
    lvAutoRun.RemoveLastColumn();
  }
  ShowWindow(btnStopComparing.Handle(), comparing ? SW_SHOWNA : SW_HIDE);
  Layout();
  ShowSkipping();
  InvalidateRect(lvAutoRun.Handle(), nullptr, FALSE);
  // A listing counts what it lists.
  if (tvAutoRun.Selected())
    ListAgainWhenFree();
  else
    ShowHiddenCount();
}

void TVelmora::ExportGone(const TakenEntry& row) {
  const std::wstring path =
      ui::AskWhereToSave(Handle(), L"Velmora export.reg", L"Registration files\0*.reg\0All files\0*.*\0", L"reg");
  if (!path.empty()) ExportSavedValue(row.ref.location, row.ref.name, row.command, path);
}
