#include "manager/ShownPlaces.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "common/Names.h"
#include "manager/Location.h"
#include "manager/LocationCatalogue.h"
#include "manager/ProgramLookup.h"
#include "manager/Publisher.h"
#include "manager/RecordStore.h"
#include "manager/TaskListing.h"

const TAutoRunNode* ShownPlaces::Own(std::unique_ptr<TAutoRunNode> node) {
  nodes_.push_back(std::move(node));
  return nodes_.back().get();
}

// Rows refer to the nodes: the caller has emptied the list first.
void ShownPlaces::ForgetNodes() {
  ShowNone();
  stamps_.clear();
  nodes_.clear();
}

void ShownPlaces::ShowNone() {
  shown_.clear();
  leftOut_.clear();
}

Listing ShownPlaces::List(const std::vector<const TAutoRunNode*>& nodes) {
  Listing listing = ListLocations(nodes);
  stamps_.clear();
  for (size_t at = 0; at < listing.stamps.size(); ++at) stamps_[nodes[at]] = listing.stamps[at];
  Mark(listing.rows);
  comparison_.AddGone(nodes, listing.rows);
  Filter(listing.rows);
  return listing;
}

bool ShownPlaces::TakeStamps(const std::vector<const TAutoRunNode*>& nodes) {
  bool changed = false;
  for (const TAutoRunNode* node : nodes) {
    const std::uint64_t stamp = StampOfLocation(*node);
    const auto known = stamps_.find(node);
    changed = changed || known == stamps_.end() || known->second != stamp;
    stamps_[node] = stamp;
  }
  return changed;
}

WatchedPlaces ShownPlaces::WatchOf(const std::vector<const TAutoRunNode*>& nodes) {
  WatchedPlaces places;
  const auto watchKey = [&](const Location& key) {
    if (std::find(places.keys.begin(), places.keys.end(), key) == places.keys.end()) places.keys.push_back(key);
  };
  for (const TAutoRunNode* node : nodes) {
    if (node->ListsRecords || node->Location.kind == LocationKind::None) continue;
    if (node->Location.IsFolder())
      places.folders.push_back(node->Location.path);
    else if (node->Location.IsTasks())
      for (const std::wstring& folder : LatestTasks()->folders) places.ownFolders.push_back(folder);
    else
      places.keys.push_back(node->Location);
    if (!node->SwitchLocation.Empty()) watchKey(node->SwitchLocation);
  }
  // The policies that make Windows skip keys may come and go whatever is
  // shown: every node's mark is read again when they do, so a node
  // selected later shows the policy as it is.
  for (const Location& key : PolicyKeys()) watchKey(key);
  return places;
}

bool ShownPlaces::SetFilter(const std::wstring& typed) {
  std::wstring folded = FoldedName(typed);
  if (folded == filter_) return false;
  filter_ = std::move(folded);
  return true;
}

bool ShownPlaces::Shows(TAutoRunItem& row) {
  if (!Filters()) return true;
  if (row.Kind != EntryKind::Record) worker_.Settle(row);
  // A row that is not Windows' default is never Windows' own, whoever
  // signed what it starts.
  if (hideWindows_ && row.Kind != EntryKind::Record && SignedByWindows(row.Facts) && !NotWindowsDefault(row))
    return false;
  if (filter_.empty()) return true;
  const auto has = [&](const std::wstring& text) { return FoldedName(text).find(filter_) != std::wstring::npos; };
  if (has(ShownTitle(row)) || has(row.ShownPath())) return true;
  return row.Facts && (has(PublisherText(*row.Facts)) || has(row.Facts->description));
}

void ShownPlaces::Filter(EntryRows& rows) {
  leftOut_.clear();
  if (!Filters()) return;
  const auto shown = std::stable_partition(rows.begin(), rows.end(), [this](const auto& row) { return Shows(*row); });
  std::move(shown, rows.end(), std::back_inserter(leftOut_));
  rows.erase(shown, rows.end());
}

bool ShownPlaces::AnyLeftOutShows() {
  return std::any_of(leftOut_.begin(), leftOut_.end(), [this](const auto& row) { return Shows(*row); });
}

// An entry the filter leaves out goes from the list as one that went.
bool ShownPlaces::PutLeftOut(const EntryRef& entry, std::unique_ptr<TAutoRunItem>& row) {
  const auto wasLeftOut =
      std::remove_if(leftOut_.begin(), leftOut_.end(), [&](const auto& left) { return entry.Is(*left); });
  const bool leftOut = row && !Shows(*row);
  const bool countChanged = wasLeftOut != leftOut_.end() || leftOut;
  leftOut_.erase(wasLeftOut, leftOut_.end());
  if (leftOut) leftOut_.push_back(std::move(row));
  return countChanged;
}

bool ShownPlaces::NotWindowsDefault(const TAutoRunItem& row) const {
  if (row.Kind != EntryKind::RegistryValue || !row.Node->Location.rules->windowsDefaults) return false;
  static const std::wstring systemFolder = WinlogonSystemFolder();
  return !IsWindowsDefault(row.Name, ExpandedAsWindows(row.Command, HasWow64RegistryView()), systemFolder);
}

// Both views of a machine's key follow the same policy value; a place's
// own load switch is its view's.
bool ShownPlaces::ReadSkipping() {
  bool changed = false;
  std::unordered_map<std::wstring, std::wstring> read;
  for (const auto& node : nodes_) {
    const std::wstring& loadSwitch = node->Location.rules->loadedUnlessZero;
    if (!loadSwitch.empty() && !node->ListsRecords) {
      const std::wstring notLoaded = NotLoadedText(node->Location, loadSwitch);
      changed = changed || notLoaded != node->NotLoaded;
      node->NotLoaded = notLoaded;
    }
    if (!node->SkipPolicy) continue;
    auto known = read.find(node->SkipPolicy);
    if (known == read.end()) known = read.emplace(node->SkipPolicy, SkippingPolicy(node->SkipPolicy)).first;
    changed = changed || known->second != node->SkippedBy;
    node->SkippedBy = known->second;
  }
  return changed;
}

void ShownPlaces::ReadLook() {
  look_ = ReadLastLook();
  lastLook_ = LastLookIndex(look_);
  lookRead_ = true;
}

void ShownPlaces::KeepLook() const { KeepLastLook(look_); }

void ShownPlaces::RememberOwn(const EntryRef& entry) {
  for (const auto& node : nodes_) {
    std::wstring name;
    if (entry.In(*node, &name)) own_.insert(node->Location.Text() + L'\\' + FoldedName(name));
  }
}

void ShownPlaces::Mark(EntryRows& rows) const {
  const TAutoRunNode* node = nullptr;
  std::wstring location;
  for (auto& row : rows) {
    if (row->Kind == EntryKind::Record) continue;
    if (row->Node != node) location = (node = row->Node)->Location.Text();
    if (!own_.empty() && own_.count(location + L'\\' + FoldedName(row->Name))) continue;
    row->Mark = lastLook_.MarkOf(location, row->Name, row->Command, row->FileStamp(), row->Kind == EntryKind::File,
                                 row->SwitchedOff());
  }
}

namespace {
// A row whose record is being disposed of gives its texts up.
template <class Row>
LookedEntry LookOf(Row&& row) {
  LookedEntry looked;
  looked.file = row.Kind == EntryKind::File;
  looked.stamp = row.FileStamp();
  looked.off = row.SwitchedOff();
  looked.name = std::forward<Row>(row).Name;
  if (!looked.file) looked.command = std::forward<Row>(row).Command;
  return looked;
}
}  // namespace

// The rows the filter left out are looked at too: what the user did not
// see this time is not new the next.
void ShownPlaces::StartLook() {
  looking_.clear();
  for (const TAutoRunNode* node : shown_) {
    if (node->ListsRecords || node->Location.kind == LocationKind::None) continue;
    auto& entries = look_[node->Location.Text()];
    entries.clear();
    looking_[node] = &entries;
  }
  for (auto& row : leftOut_)
    if (auto* entries = LookFor(*row)) entries->push_back(LookOf(*row));
}

// A row gone since a saved list is no entry the user saw.
std::vector<LookedEntry>* ShownPlaces::LookFor(const TAutoRunItem& row) {
  if (row.Kind == EntryKind::Gone) return nullptr;
  const auto entries = looking_.find(row.Node);
  return entries == looking_.end() ? nullptr : entries->second;
}

void ShownPlaces::Look(const TAutoRunItem& row) {
  if (auto* entries = LookFor(row)) entries->push_back(LookOf(row));
}

void ShownPlaces::Look(TAutoRunItem&& row) {
  if (auto* entries = LookFor(row)) entries->push_back(LookOf(std::move(row)));
}
