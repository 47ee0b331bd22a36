#include "manager/RowWork.h"

#include <objbase.h>

#include <utility>

#include "common/Mask.h"
#include "common/ShellLink.h"

namespace {
RowPresence Found(ProgramPresence presence) {
  switch (presence) {
    case ProgramPresence::Found:
      return RowPresence::Found;
    case ProgramPresence::Missing:
      return RowPresence::Missing;
    default:
      return RowPresence::Unknown;
  }
}
// A worker's thread gets its own share of the state, which outlives the
// worker when the thread is stuck at its end.
template <class Shared>
HANDLE StartWorker(const std::shared_ptr<Shared>& shared, LPTHREAD_START_ROUTINE main) {
  auto* handed = new std::shared_ptr<Shared>(shared);
  const HANDLE thread = CreateThread(nullptr, 0, main, handed, 0, nullptr);
  if (!thread) delete handed;
  return thread;
}

// A query held by a server that does not answer is cut short where the
// system can; one it cannot cut is left to end by itself after a while.
template <class Shared>
void StopWorker(Shared& shared, HANDLE thread) {
  {
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.stopping = true;
  }
  if (!thread) return;
  SetEvent(shared.wake);
  CancelSynchronousIo(thread);
  WaitForSingleObject(thread, kStuckQueryMs);
  CloseHandle(thread);
}

// Waits for the next question of a worker's queue; false once the worker
// stops.
template <class Shared, class Question>
bool NextQuestion(Shared& shared, Question& question) {
  for (;;) {
    std::unique_lock<std::mutex> lock(shared.mutex);
    if (shared.stopping) return false;
    if (!shared.questions.empty()) {
      question = std::move(shared.questions.front());
      shared.questions.pop_front();
      return true;
    }
    lock.unlock();
    WaitForSingleObject(shared.wake, INFINITE);
  }
}

}  // namespace

RowWorker::Shared::~Shared() {
  if (wake) CloseHandle(wake);
}

SignatureQueue::Shared::~Shared() {
  if (wake) CloseHandle(wake);
}

SignatureQueue::SignatureQueue(UINT answered) : shared_(std::make_shared<Shared>()) {
  shared_->answered = answered;
  shared_->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

SignatureQueue::~SignatureQueue() { StopWorker(*shared_, thread_); }

void SignatureQueue::Ask(const std::wstring& program) {
  if (!shared_->answered || program.empty()) return;
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (shared_->stopping) return;
  shared_->questions.push_back(program);
  if (!thread_) thread_ = StartWorker(shared_, &SignatureQueue::ThreadMain);
  SetEvent(shared_->wake);
}

std::vector<std::pair<std::wstring, SignatureAnswer>> SignatureQueue::TakeAnswers() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return std::exchange(shared_->answers, {});
}

// Holds the library loaded while it runs, as the row worker's thread does.
DWORD WINAPI SignatureQueue::ThreadMain(void* handed) {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                     reinterpret_cast<LPCWSTR>(&SignatureQueue::ThreadMain), &self);
  {
    const std::unique_ptr<std::shared_ptr<Shared>> owned(static_cast<std::shared_ptr<Shared>*>(handed));
    Shared& shared = **owned;
    const NoCriticalErrorBoxes noBoxes;
    const SignatureVerifier verifier;
    for (std::wstring program; NextQuestion(shared, program);) {
      SignatureAnswer answer;
      {
        const FileSystemRedirectionOff redirectionOff;
        answer = verifier.Verify(program);
      }
      {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (shared.stopping) break;
        shared.answers.emplace_back(program, std::move(answer));
      }
      PostMessageW(shared.window, shared.answered, 0, 0);
    }
  }
  if (self) FreeLibraryAndExitThread(self, 0);
  return 0;
}

RowWorker::RowWorker(UINT answered, UINT verified) : signatures_(verified), shared_(std::make_shared<Shared>()) {
  shared_->answered = answered;
  shared_->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

RowWorker::~RowWorker() { StopWorker(*shared_, thread_); }

// A Startup file on a share is read on the thread, whatever it is.
RowWorker::Question RowWorker::QuestionOf(const TAutoRunItem& row) const {
  if (row.Kind != EntryKind::File) return Question{Question::Command, row.Command, row.Node->Location.rules->programs};
  if (lookup_.ReachesNetwork(row.FilePath())) return Question{Question::File, row.FilePath()};
  return Question{MatchesAnyMask(row.Name, "*.lnk") ? Question::Target : Question::File, row.Command};
}

// Shortcuts are read with the redirector on: no library may load while
// it is off.
void RowWorker::Settle(TAutoRunItem& row) {
  if (row.Presence != RowPresence::Pending) return;
  const NoCriticalErrorBoxes noBoxes;
  const auto defer = [&](Question question) {
    row.Presence = RowPresence::Remote;
    Ask(question);
    Collect(row);  // asked before in this opening
  };
  Question question = QuestionOf(row);
  if (row.Kind == EntryKind::File) {
    if (lookup_.ReachesNetwork(row.FilePath())) return defer(question);
    if (question.kind == Question::File) {
      row.Presence = RowPresence::Found;  // the file listed is the program
      row.Facts = FactsOf(row.FilePath());
      return;
    }
    std::wstring target;
    const HRESULT read = GetShortcutTarget(row.FilePath(), target);
    if (FAILED(read)) {  // no link object to read it with: no mark either way
      row.Presence = RowPresence::Unknown;
      return;
    }
    row.Command = target;
    if (read != S_OK) {
      row.Presence = RowPresence::Missing;
      return;
    }
    question.text = target;
  }
  ProgramPresence presence;
  std::wstring program;
  {
    const FileSystemRedirectionOff redirectionOff;
    presence = question.kind == Question::Target ? lookup_.OfShortcut(true, question.text, &program)
                                                 : lookup_.OfText(question.text, question.form, &program);
  }
  // A program found on a share (App Paths may name one): its version
  // resource is read there too.
  if (lookup_.Deferred() || (!program.empty() && lookup_.ReachesNetwork(program))) return defer(question);
  if (!program.empty()) {
    const FileSystemRedirectionOff redirectionOff;
    row.Facts = FactsOf(program);
  }
  row.Presence = Found(presence);
}

const ProgramFacts* RowWorker::FactsOf(const std::wstring& program) {
  const auto known = facts_.find(program);
  if (known != facts_.end()) return &known->second;
  return Keep(program, ReadProgramFacts(program));
}

const ProgramFacts* RowWorker::Keep(const std::wstring& program, ProgramFacts facts) {
  facts.program = program;
  const auto kept = facts_.emplace(program, std::move(facts));
  if (kept.second) signatures_.Ask(program);
  return &kept.first->second;
}

bool RowWorker::CollectSignatures() {
  bool any = false;
  for (auto& [program, answer] : signatures_.TakeAnswers()) {
    const auto facts = facts_.find(program);
    if (facts == facts_.end()) continue;
    facts->second.signatureKnown = true;
    facts->second.signature = std::move(answer);
    any = true;
  }
  return any;
}

std::wstring RowWorker::KeyOf(const Question& question) {
  return (question.kind == Question::Command ? L"C" : question.kind == Question::Target ? L"L" : L"F") +
         std::to_wstring(static_cast<int>(question.form)) + question.text;
}

bool RowWorker::Collect(TAutoRunItem& row) {
  if (row.Presence != RowPresence::Remote) return false;
  const Question question = QuestionOf(row);
  std::lock_guard<std::mutex> lock(shared_->mutex);
  const auto answer = shared_->answers.find(KeyOf(question));
  if (answer == shared_->answers.end()) return false;
  row.Presence = Found(answer->second.presence);
  if (!answer->second.target.empty()) row.Command = answer->second.target;
  if (!answer->second.program.empty()) row.Facts = Keep(answer->second.program, answer->second.facts);
  return true;
}

void RowWorker::Ask(const Question& question) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (!shared_->asked.insert(KeyOf(question)).second || shared_->stopping) return;
  shared_->questions.push_back(question);
  if (!thread_) thread_ = StartWorker(shared_, &RowWorker::ThreadMain);
  SetEvent(shared_->wake);
}

// The thread holds the library loaded while it runs: a query stuck when
// the manager closes may end after the host has let the library go.
DWORD WINAPI RowWorker::ThreadMain(void* handed) {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&RowWorker::ThreadMain), &self);
  {
    const std::unique_ptr<std::shared_ptr<Shared>> shared(static_cast<std::shared_ptr<Shared>*>(handed));
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    AnswerQuestions(**shared);
    if (SUCCEEDED(com)) CoUninitialize();
  }
  if (self) FreeLibraryAndExitThread(self, 0);
  return 0;
}

// The thread's own lookup looks at network paths; it reads nothing the
// window's thread writes except through the table.
void RowWorker::AnswerQuestions(Shared& shared) {
  const NoCriticalErrorBoxes noBoxes;
  const ProgramLookup lookup;
  for (Question question; NextQuestion(shared, question);) {
    Answer answer;
    Question asked = question;
    if (question.kind == Question::File) {
      if (!MatchesAnyMask(question.text, "*.lnk")) {
        answer.presence = ProgramPresence::Found;
        answer.program = question.text;
      } else {
        const HRESULT read = GetShortcutTarget(question.text, answer.target);
        answer.presence = FAILED(read) ? ProgramPresence::Unknown : ProgramPresence::Missing;
        if (read == S_OK) question = Question{Question::Target, answer.target};
      }
    }
    {
      const FileSystemRedirectionOff redirectionOff;
      if (question.kind != Question::File)
        answer.presence = question.kind == Question::Target ? lookup.OfShortcut(true, question.text, &answer.program)
                                                            : lookup.OfText(question.text, question.form, &answer.program);
      if (!answer.program.empty()) answer.facts = ReadProgramFacts(answer.program);
    }
    {
      std::lock_guard<std::mutex> lock(shared.mutex);
      if (shared.stopping) return;
      shared.answers[KeyOf(asked)] = std::move(answer);
    }
    PostMessageW(shared.window, shared.answered, 0, 0);
  }
}
