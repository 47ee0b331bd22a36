#include "manager/ChangeWatch.h"

#include <algorithm>

#include "common/FileTools.h"
#include "common/PathText.h"
#include "common/Registry.h"
#include "manager/LocationCatalogue.h"

namespace {

// A burst is folded until it has been quiet this long, or this long since
// it began: a change shows within the second span and the work of a merge.
constexpr DWORD kQuietMs = 30, kFoldMs = 120;

constexpr DWORD kKeyChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
constexpr DWORD kFolderChanges =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

}  // namespace

// One watched place: a key with its event, or a folder's notification.
struct ChangeWatch::Armed {
  RegistryKey key;
  HANDLE handle = nullptr;
  bool subtree = false;
  DWORD changes = kKeyChanges;
  bool standsIn = false;  // a parent watched for a key's coming or going

  Armed() = default;
  Armed(Armed&& other) noexcept
      : key(std::move(other.key)),
        handle(other.handle),
        subtree(other.subtree),
        changes(other.changes),
        standsIn(other.standsIn) {
    other.handle = nullptr;
  }
  Armed& operator=(Armed&&) = delete;
  ~Armed() {
    if (!handle) return;
    if (key.IsOpen())
      CloseHandle(handle);
    else
      FindCloseChangeNotification(handle);
  }
  // The notification is asked for again after each one: a key's is
  // one-shot, a folder's goes on from where it was.
  bool Arm() {
    if (key.IsOpen()) return RegNotifyChangeKeyValue(key.Get(), subtree, changes, handle, TRUE) == ERROR_SUCCESS;
    return FindNextChangeNotification(handle) != FALSE;
  }
};

ChangeWatch::ChangeWatch(UINT changed)
    : changed_(changed),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      replace_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

ChangeWatch::~ChangeWatch() {
  if (thread_) {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (stop_) CloseHandle(stop_);
  if (replace_) CloseHandle(replace_);
}

void ChangeWatch::Watch(const WatchedPlaces& places, bool again) {
  if (places == asked_ && !again) return;
  asked_ = places;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    places_ = places;
  }
  if (!thread_ && places.keys.empty() && places.folders.empty() && places.ownFolders.empty()) return;
  if (!thread_ && stop_ && replace_) thread_ = CreateThread(nullptr, 0, &ChangeWatch::ThreadMain, this, 0, nullptr);
  SetEvent(replace_);
}

DWORD WINAPI ChangeWatch::ThreadMain(void* self) {
  static_cast<ChangeWatch*>(self)->Run();
  return 0;
}

void ChangeWatch::Rebuild(std::vector<Armed>& watches) {
  WatchedPlaces places;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    places = places_;
  }
  watches.clear();
  const auto arm = [&](Armed& watch) {
    watch.handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (watch.handle && watch.Arm()) watches.push_back(std::move(watch));
  };
  // A key that is missing is watched through the nearest key above it
  // that exists, with its subtree: the key may come (a switch's key comes
  // with the first switch). A key that exists is watched with its parent's
  // subkey names too: Wine tells a key's deletion only to its parent.
  // A place of one value per subkey is watched with its subtree: its
  // entries are written in the subkeys.
  std::vector<Location> parents;
  for (Location location : places.keys) {
    Armed watch;
    watch.subtree = location.kind == LocationKind::SubkeyValue || location.kind == LocationKind::Sections;
    while (OpenLocation(watch.key, location, KeyAccess::Notify) == ERROR_FILE_NOT_FOUND) {
      location = location.Parent();
      if (location.Empty()) break;
      watch.subtree = watch.standsIn = true;
    }
    if (!watch.key.IsOpen()) continue;
    const Location parent = watch.standsIn ? Location() : location.Parent();
    arm(watch);
    if (parent.Empty() || std::find(parents.begin(), parents.end(), parent) != parents.end()) continue;
    parents.push_back(parent);
    Armed names;
    names.changes = REG_NOTIFY_CHANGE_NAME;
    names.standsIn = true;
    if (OpenLocation(names.key, parent, KeyAccess::Notify) == ERROR_SUCCESS) arm(names);
  }
  // A folder is watched through its parent, with the parent's subtree: a
  // watched folder is held open, and a folder held open cannot be removed
  // (it waits, delete-pending, for the last handle).
  for (const std::wstring& folder : places.folders) {
    const std::wstring trimmed = StripPathDelimiter(folder);
    const size_t cut = trimmed.find_last_of(L'\\');
    const bool hasParent = cut != std::wstring::npos && cut > 2;
    const std::wstring watched = hasParent ? trimmed.substr(0, cut) : folder;
    Armed watch;
    watch.handle = FindFirstChangeNotificationW(LongPathForm(watched).c_str(), hasParent, kFolderChanges);
    if (watch.handle == INVALID_HANDLE_VALUE) {
      watch.handle = nullptr;
      continue;
    }
    watches.push_back(std::move(watch));
  }
  // One wait takes at most MAXIMUM_WAIT_OBJECTS handles: folders beyond
  // that are watched through the first (their root) with its subtree,
  // which Windows reports at every level.
  const size_t room = MAXIMUM_WAIT_OBJECTS - 2 - std::min<size_t>(watches.size(), MAXIMUM_WAIT_OBJECTS - 2);
  const bool whole = places.ownFolders.size() > room;
  for (const std::wstring& folder : places.ownFolders) {
    if (watches.size() + 2 >= MAXIMUM_WAIT_OBJECTS) break;
    Armed watch;
    watch.handle = FindFirstChangeNotificationW(LongPathForm(folder).c_str(), whole, kFolderChanges);
    if (watch.handle == INVALID_HANDLE_VALUE) {
      watch.handle = nullptr;
      continue;
    }
    watches.push_back(std::move(watch));
    if (whole) break;
  }
}

void ChangeWatch::Post() {
  if (!posted_.exchange(true)) PostMessageW(window_, changed_, 0, 0);
}

void ChangeWatch::Run() {
  std::vector<Armed> watches;
  std::vector<HANDLE> handles;
  const auto waitFor = [&](DWORD milliseconds) {
    handles.assign({stop_, replace_});
    for (const Armed& watch : watches) handles.push_back(watch.handle);
    return WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, milliseconds);
  };
  // Returns false when the watch stops. A parent's change may be a
  // watched key's deletion or the making of one it stood in for, and a key
  // that cannot be armed again has gone: then every key is opened again
  // where it is now. Other changes cost one arming.
  const auto take = [&](DWORD signalled) {
    if (signalled == WAIT_OBJECT_0 || signalled == WAIT_FAILED) return false;
    if (signalled == WAIT_OBJECT_0 + 1) {
      Rebuild(watches);
      return true;
    }
    Armed& watch = watches[signalled - WAIT_OBJECT_0 - 2];
    if (watch.standsIn || !watch.Arm()) Rebuild(watches);
    return true;
  };
  for (;;) {
    const DWORD first = waitFor(INFINITE);
    if (!take(first)) return;
    // After new places are armed the window compares its stamps once: a
    // change between its listing and the arming is not lost.
    if (first == WAIT_OBJECT_0 + 1) {
      Post();
      continue;
    }
    const ULONGLONG began = GetTickCount64();
    for (;;) {
      const ULONGLONG spent = GetTickCount64() - began;
      if (spent >= kFoldMs) break;
      const DWORD next = waitFor(static_cast<DWORD>(std::min<ULONGLONG>(kQuietMs, kFoldMs - spent)));
      if (next == WAIT_TIMEOUT) break;
      if (!take(next)) return;
    }
    Post();
  }
}
