#pragma once
// Watches the places a list shows (registry keys and folders) with the
// system's change notifications, on a thread that only waits and posts:
// when a watched place changes, the window given gets one message, a
// burst of changes folded into it. The thread never touches a window,
// takes no processor time while nothing changes, and has ended when the
// watch is destroyed.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "manager/Location.h"

struct WatchedPlaces {
  // Registry keys; a place of one value per subkey with its subtree.
  std::vector<Location> keys;
  std::vector<std::wstring> folders;  // folder paths
  // Folders watched themselves, each without its subtree (the task
  // folders: Wine reports a subtree's writes only one level down).
  std::vector<std::wstring> ownFolders;
  bool operator==(const WatchedPlaces& other) const {
    if (keys.size() != other.keys.size() || folders != other.folders || ownFolders != other.ownFolders) return false;
    for (size_t at = 0; at < keys.size(); ++at)
      if (keys[at] != other.keys[at] || keys[at].kind != other.keys[at].kind) return false;
    return true;
  }
};

class ChangeWatch {
 public:
  // `changed` is posted to the window given to PostTo.
  explicit ChangeWatch(UINT changed);
  ~ChangeWatch();
  ChangeWatch(const ChangeWatch&) = delete;
  ChangeWatch& operator=(const ChangeWatch&) = delete;

  void PostTo(HWND window) { window_ = window; }
  // Watches these places from now on; none ends the watches. A place that
  // does not exist is watched through the nearest one above it. `again`
  // arms every watch anew even when the places are the same.
  void Watch(const WatchedPlaces& places, bool again = false);
  // The window has taken the message: the next change posts again.
  void Acknowledge() { posted_ = false; }

 private:
  struct Armed;
  static DWORD WINAPI ThreadMain(void* self);
  void Run();
  void Rebuild(std::vector<Armed>& watches);
  void Post();

  HWND window_ = nullptr;
  UINT changed_;
  std::atomic<bool> posted_{false};
  std::mutex mutex_;  // guards places_
  WatchedPlaces places_;
  WatchedPlaces asked_;  // the window thread's own copy, to skip asking twice
  HANDLE stop_ = nullptr;     // manual-reset
  HANDLE replace_ = nullptr;  // auto-reset: places_ changed
  HANDLE thread_ = nullptr;
};
