#pragma once
// The per-row work that touches the disk: reading a shortcut for its
// target, looking the program up for the "Missing" mark and reading its
// version resource for the publisher and description. A row's work
// is done when the list first shows it, the rest in idle time. A program
// on a network path is looked up on a thread of its own, which only
// answers into a table and posts a message to the window; it never
// touches a window, and it has ended when the worker is destroyed.
#include <windows.h>

#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "common/VersionInfo.h"
#include "manager/Entry.h"
#include "manager/ProgramLookup.h"

class RowWorker {
 public:
  // `answered` is posted to the window given to PostTo when a network
  // lookup has answered.
  explicit RowWorker(UINT answered);
  void PostTo(HWND window) { window_ = window; }
  ~RowWorker();
  RowWorker(const RowWorker&) = delete;
  RowWorker& operator=(const RowWorker&) = delete;

  // Does a pending row's work now, or hands its network lookup to the
  // thread (the row is then Remote until Collect finds its answer).
  void Settle(TAutoRunItem& row);
  // Takes a network answer for a Remote row; true when it was there.
  bool Collect(TAutoRunItem& row);

 private:
  struct Question {
    bool shortcut;
    std::wstring text;  // the command line, or the shortcut's target
  };
  struct Answer {
    ProgramPresence presence;
    std::wstring program;  // the file found
    ProgramFacts facts;
  };
  static std::wstring KeyOf(const Question& question);
  void Ask(const Question& question);
  // Read once per program in an opening; the rows point at them.
  const ProgramFacts* Keep(const std::wstring& program, ProgramFacts facts);
  const ProgramFacts* FactsOf(const std::wstring& program);
  static DWORD WINAPI ThreadMain(void* self);
  void AnswerQuestions();

  HWND window_ = nullptr;
  UINT answered_;
  ProgramLookup lookup_{true};
  std::unordered_map<std::wstring, ProgramFacts> facts_;  // by the program's path

  std::mutex mutex_;  // guards what follows: the thread's questions and answers
  std::deque<Question> questions_;
  std::unordered_map<std::wstring, Answer> answers_;
  std::unordered_set<std::wstring> asked_;
  bool stopping_ = false;
  HANDLE wake_ = nullptr;    // auto-reset: a question came, or the worker stops
  HANDLE thread_ = nullptr;  // started with the first network lookup
};
