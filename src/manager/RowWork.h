#pragma once
// The per-row work that touches the disk: reading a shortcut for its
// target, looking the program up for the "Missing" mark and reading its
// version resource for the publisher and description. A row's work
// is done when the list first shows it, the rest in idle time. Whatever
// reaches a network share (a program there, a shortcut in a Startup
// folder on a share, a program App Paths names there, its version
// resource) is done on a thread of its own, which only answers into a
// table and posts a message to the window; it never touches a window.
// The worker's end waits at most kStuckQueryMs for it: a query a server
// holds is left to end by itself, the library kept loaded until it has.
#include <windows.h>

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/VersionInfo.h"
#include "manager/Entry.h"
#include "manager/ProgramLookup.h"

constexpr DWORD kStuckQueryMs = 2000;

// Verifies programs' signatures on a thread of its own, one at a time in
// the order asked (a row's program is asked for when the row is settled:
// the rows on screen first; the row worker asks once per version of a
// program, when it first keeps that version's facts). Each answer names
// the version it verified, and that version's SHA-256. Its end waits at most kStuckQueryMs, as the
// row worker's does.
class SignatureQueue {
 public:
  explicit SignatureQueue(UINT answered);
  ~SignatureQueue();
  SignatureQueue(const SignatureQueue&) = delete;
  SignatureQueue& operator=(const SignatureQueue&) = delete;
  void PostTo(HWND window) { shared_->window = window; }
  void Ask(const std::wstring& program);
  struct Answer {
    std::wstring program;
    FileStamp stamp;  // the version verified
    SignatureAnswer signature;
    std::wstring sha256;  // of that version; empty when the file changed meanwhile
  };
  // The answers that came since the last call.
  std::vector<Answer> TakeAnswers();

 private:
  struct Shared {
    std::mutex mutex;
    std::deque<std::wstring> questions;
    std::vector<Answer> answers;
    bool stopping = false;
    HWND window = nullptr;
    UINT answered = 0;
    HANDLE wake = nullptr;
    ~Shared();
  };
  static DWORD WINAPI ThreadMain(void* shared);
  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;
};

class RowWorker {
 public:
  // `answered` is posted to the window given to PostTo when a network
  // lookup has answered.
  explicit RowWorker(UINT answered, UINT verified = 0);
  void PostTo(HWND window) {
    shared_->window = window;
    signatures_.PostTo(window);
  }
  ~RowWorker();
  RowWorker(const RowWorker&) = delete;
  RowWorker& operator=(const RowWorker&) = delete;

  // Does a pending row's work now, or hands its network lookup to the
  // thread (the row is then Remote until Collect finds its answer).
  void Settle(TAutoRunItem& row);
  // Takes a network answer for a Remote row; true when it was there.
  bool Collect(TAutoRunItem& row);
  // Takes the signatures verified since into the programs' facts; true
  // when any came.
  bool CollectSignatures();
  // Refresh: every program's facts are read and verified again, as its
  // rows are settled anew (the rows that point at them are gone).
  void ForgetFacts();

  // What a thread of its own asks of a row's program, and what it finds.
  struct Question {
    enum Kind : unsigned char { Command, Target, File } kind;
    std::wstring text;  // the command line, a shortcut's target, or a Startup file (read there)
    ProgramText form = ProgramText::CommandLine;  // how a command names its programs
  };
  struct Answer {
    ProgramPresence presence = ProgramPresence::Unknown;
    std::wstring program;  // the file found
    std::wstring target;   // a Startup shortcut's target, read on the thread
    // Each program the text may start (OfText's `every`), and its facts.
    std::vector<std::wstring> programs;
    std::vector<ProgramFacts> facts;
  };
  // A row's question as a thread answers it whole: a Startup file is read there.
  static Question ThreadQuestionOf(const TAutoRunItem& row);
  // Answers on the calling thread (COM initialised, no window touched).
  static Answer AnswerOf(const ProgramLookup& lookup, Question question);

 private:
  // What the thread shares with the window's: it outlives the worker
  // when a query is stuck at its end.
  struct Shared {
    std::mutex mutex;  // guards what follows
    std::deque<Question> questions;
    std::unordered_map<std::wstring, Answer> answers;
    std::unordered_set<std::wstring> asked;
    bool stopping = false;
    HWND window = nullptr;
    UINT answered = 0;
    HANDLE wake = nullptr;  // auto-reset: a question came, or the worker stops
    ~Shared();
  };
  static std::wstring KeyOf(const Question& question);
  Question QuestionOf(const TAutoRunItem& row) const;
  void Ask(const Question& question);
  // Read once per version of a program; the rows point at them.
  const ProgramFacts* Keep(const std::wstring& program, ProgramFacts facts);
  const ProgramFacts* FactsOf(const std::wstring& program);
  // The facts of what a row starts: one program's, or a list's of each
  // (null when nothing that may start was found).
  const ProgramFacts* FactsOfAll(const std::vector<std::wstring>& programs,
                                 std::vector<const ProgramFacts*> parts);
  static DWORD WINAPI ThreadMain(void* shared);
  static void AnswerQuestions(Shared& shared);

  SignatureQueue signatures_;
  ProgramLookup lookup_{true};
  std::unordered_map<std::wstring, ProgramFacts> facts_;  // by the program's path and version
  std::unordered_map<std::wstring, ProgramFacts> lists_;  // by their programs' facts
  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;  // started with the first network lookup
};
