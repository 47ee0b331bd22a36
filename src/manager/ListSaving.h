#pragma once
// The whole list for someone helping the user, or to compare with later:
// every entry of every place given, as UTF-8 CSV with a byte-order mark
// (location, name, command, state, missing, publisher, description,
// verified signer, the program, its SHA-256, the format). The places are
// listed (the tasks read afresh) and each program looked up, read,
// verified and hashed on a thread of the saver's own, which reports its
// progress to the window and stops when cancelled, writing nothing.
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "manager/Entry.h"
#include "manager/RowWork.h"

// A row's State field: "skipped", "not loaded", "off" or "on".
std::wstring ListState(const TAutoRunItem& row);

// One entry as listed, with what its program is asked by.
struct ListedEntry {
  std::wstring location, name, command, state;
  RowWorker::Question question;
};
// Every entry of `nodes`, in the places' order; throws what a listing
// threw, after the rows listed before it.
std::vector<ListedEntry> ListedEntries(const std::vector<const TAutoRunNode*>& nodes);

class ListSaver {
 public:
  // `progressed` is posted to the window given to PostTo as rows are done
  // and when the file is written, failed or cancelled.
  explicit ListSaver(UINT progressed);
  ~ListSaver();
  ListSaver(const ListSaver&) = delete;
  ListSaver& operator=(const ListSaver&) = delete;
  void PostTo(HWND window) { window_ = window; }

  bool Busy() const;
  // `places` are copied: the tree's nodes may be made anew meanwhile.
  void Start(const std::vector<const TAutoRunNode*>& places, const std::wstring& path);
  void Cancel();
  struct Progress {
    size_t done = 0, total = 0;
    bool ended = false;  // written, failed or cancelled
    std::string error;   // the message of a failure
    long code = 0;
  };
  // Where the save is; an ended save is taken once (Busy is false then),
  // after which the answer is "ended" with nothing to tell.
  Progress Take();

 private:
  struct Shared {
    std::mutex mutex;
    Progress progress;
    bool running = true;  // until the window has taken its end
    bool cancelled = false;
    bool posted = false;  // a message waits: no more until it is taken
    HWND window = nullptr;
    UINT message = 0;
  };
  // What the thread is handed: its share of the state, the places, the file.
  struct Handed {
    std::shared_ptr<Shared> shared;
    std::vector<TAutoRunNode> places;
    std::wstring path;
  };
  static DWORD WINAPI ThreadMain(void* handed);
  static void Save(Shared& shared, const std::vector<TAutoRunNode>& places, const std::wstring& path);
  UINT progressed_;
  HWND window_ = nullptr;
  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;
};
