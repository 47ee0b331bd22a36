#include "manager/RowWork.h"

#include <objbase.h>

#include <algorithm>
#include <utility>

#include "common/CryptHash.h"
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

std::vector<SignatureQueue::Answer> SignatureQueue::TakeAnswers() {
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
      Answer answer{program, FileStamp(), SignatureAnswer(), std::wstring()};
      {
        const FileSystemRedirectionOff redirectionOff;
        // A program of hundreds of megabytes is hashed in slices: closing
        // stops it within one.
        const auto stopping = [&shared] {
          std::lock_guard<std::mutex> lock(shared.mutex);
          return shared.stopping;
        };
        answer.signature = verifier.Verify(program, &answer.stamp, stopping);
        answer.sha256 = Sha256OfFile(program, stopping);
        // Written again meanwhile: the hash is of no version the rows know.
        if (!(FileStampOf(program) == answer.stamp)) answer.sha256.clear();
      }
      {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (shared.stopping) break;
        shared.answers.push_back(std::move(answer));
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
  std::vector<std::wstring> programs;
  {
    const FileSystemRedirectionOff redirectionOff;
    if (question.kind == Question::Target) {
      presence = lookup_.OfShortcut(true, question.text, &program);
      if (!program.empty()) programs.push_back(program);
    } else {
      presence = lookup_.OfText(question.text, question.form, &program, &programs);
    }
  }
  // A program found on a share (App Paths may name one): its version
  // resource is read there too.
  const auto onShare = [&] {
    return std::any_of(programs.begin(), programs.end(),
                       [&](const std::wstring& found) { return !found.empty() && lookup_.ReachesNetwork(found); });
  };
  if (lookup_.Deferred() || onShare()) return defer(question);
  {
    const FileSystemRedirectionOff redirectionOff;
    std::vector<const ProgramFacts*> parts;
    for (const std::wstring& found : programs) parts.push_back(found.empty() ? nullptr : FactsOf(found));
    row.Facts = FactsOfAll(programs, std::move(parts));
  }
  row.Presence = Found(presence);
}

namespace {
std::wstring VersionKey(const std::wstring& program, const FileStamp& stamp) {
  return program + L'|' + std::to_wstring(stamp.size) + L'|' + std::to_wstring(stamp.written);
}
}  // namespace

// The file is asked for its version each time a row of it is settled: a
// program replaced on disk is read and verified again.
const ProgramFacts* RowWorker::FactsOf(const std::wstring& program) {
  FileStamp stamp;
  if (!lookup_.StampOfFound(program, stamp)) stamp = FileStampOf(program);
  const auto known = facts_.find(VersionKey(program, stamp));
  if (known != facts_.end()) return &known->second;
  return Keep(program, ReadProgramFacts(program));
}

const ProgramFacts* RowWorker::Keep(const std::wstring& program, ProgramFacts facts) {
  facts.program = program;
  const auto kept = facts_.emplace(VersionKey(program, facts.stamp), std::move(facts));
  if (kept.second) signatures_.Ask(program);
  return &kept.first->second;
}

// A list's facts point at each program's: they are known as each
// program's answer comes.
const ProgramFacts* RowWorker::FactsOfAll(const std::vector<std::wstring>& programs,
                                          std::vector<const ProgramFacts*> parts) {
  const auto first = std::find_if(parts.begin(), parts.end(), [](const ProgramFacts* part) { return part; });
  if (first == parts.end()) return nullptr;
  if (parts.size() == 1) return parts.front();
  std::wstring key;
  for (size_t at = 0; at < parts.size(); ++at)
    key += (parts[at] ? VersionKey(programs[at], parts[at]->stamp) : std::wstring()) + L'\n';
  const auto kept = lists_.try_emplace(key);
  ProgramFacts& list = kept.first->second;
  if (kept.second) {
    list.publisher = (*first)->publisher;
    list.description = (*first)->description;
    list.program = (*first)->program;
    list.stamp = (*first)->stamp;
    list.parts = std::move(parts);
  }
  return &list;
}

bool RowWorker::CollectSignatures() {
  bool any = false;
  for (auto& answer : signatures_.TakeAnswers()) {
    const auto facts = facts_.find(VersionKey(answer.program, answer.stamp));
    if (facts == facts_.end()) continue;
    facts->second.signatureKnown = true;
    facts->second.signature = std::move(answer.signature);
    facts->second.sha256 = std::move(answer.sha256);
    any = true;
  }
  return any;
}

void RowWorker::ForgetFacts() {
  lists_.clear();
  facts_.clear();
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->answers.clear();
  shared_->asked.clear();
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
  const Answer& found = answer->second;
  row.Presence = Found(found.presence);
  if (!found.target.empty()) row.Command = found.target;
  std::vector<const ProgramFacts*> parts;
  for (size_t at = 0; at < found.programs.size(); ++at)
    parts.push_back(found.programs[at].empty() ? nullptr : Keep(found.programs[at], found.facts[at]));
  row.Facts = FactsOfAll(found.programs, std::move(parts));
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
    Answer answer = AnswerOf(lookup, question);
    {
      std::lock_guard<std::mutex> lock(shared.mutex);
      if (shared.stopping) return;
      shared.answers[KeyOf(question)] = std::move(answer);
    }
    PostMessageW(shared.window, shared.answered, 0, 0);
  }
}

RowWorker::Question RowWorker::ThreadQuestionOf(const TAutoRunItem& row) {
  if (row.Kind == EntryKind::File) return Question{Question::File, row.FilePath()};
  return Question{Question::Command, row.Command, row.Node->Location.rules->programs};
}

RowWorker::Answer RowWorker::AnswerOf(const ProgramLookup& lookup, Question question) {
  Answer answer;
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
  const FileSystemRedirectionOff redirectionOff;
  if (question.kind == Question::Command)
    answer.presence = lookup.OfText(question.text, question.form, &answer.program, &answer.programs);
  else if (question.kind == Question::Target)
    answer.presence = lookup.OfShortcut(true, question.text, &answer.program);
  if (question.kind != Question::Command && !answer.program.empty()) answer.programs.push_back(answer.program);
  for (const std::wstring& program : answer.programs)
    answer.facts.push_back(program.empty() ? ProgramFacts() : ReadProgramFacts(program));
  return answer;
}
