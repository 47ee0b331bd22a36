#include "manager/RowWork.h"

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
}  // namespace

RowWorker::RowWorker(UINT answered)
    : answered_(answered), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

RowWorker::~RowWorker() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  if (thread_) {
    SetEvent(wake_);
    // A query held by a server that does not answer is cut short.
    CancelSynchronousIo(thread_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (wake_) CloseHandle(wake_);
}

// Shortcuts are read with the redirector on: no library may load while
// it is off.
void RowWorker::Settle(TAutoRunItem& row) {
  if (row.Presence != RowPresence::Pending) return;
  const NoCriticalErrorBoxes noBoxes;
  Question question{row.Kind == EntryKind::File, row.Command};
  if (question.shortcut) {
    if (!MatchesAnyMask(row.Name, "*.lnk")) {
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
    if (read != S_OK) {
      row.Command = target;
      row.Presence = RowPresence::Missing;
      return;
    }
    row.Command = target;
    question.text = target;
  }
  ProgramPresence presence;
  std::wstring program;
  {
    const FileSystemRedirectionOff redirectionOff;
    presence = question.shortcut ? lookup_.OfShortcut(true, question.text, &program)
                                 : lookup_.OfCommand(question.text, &program);
    if (!lookup_.Deferred() && !program.empty()) row.Facts = FactsOf(program);
  }
  if (!lookup_.Deferred()) {
    row.Presence = Found(presence);
    return;
  }
  row.Presence = RowPresence::Remote;
  Ask(question);
  Collect(row);  // asked before in this opening
}

const ProgramFacts* RowWorker::FactsOf(const std::wstring& program) {
  const auto known = facts_.find(program);
  if (known != facts_.end()) return &known->second;
  return Keep(program, ReadProgramFacts(program));
}

const ProgramFacts* RowWorker::Keep(const std::wstring& program, ProgramFacts facts) {
  return &facts_.emplace(program, std::move(facts)).first->second;
}

std::wstring RowWorker::KeyOf(const Question& question) { return (question.shortcut ? L"L" : L"C") + question.text; }

bool RowWorker::Collect(TAutoRunItem& row) {
  if (row.Presence != RowPresence::Remote) return false;
  const std::wstring key = KeyOf(Question{row.Kind == EntryKind::File, row.Command});
  std::lock_guard<std::mutex> lock(mutex_);
  const auto answer = answers_.find(key);
  if (answer == answers_.end()) return false;
  row.Presence = Found(answer->second.presence);
  if (!answer->second.program.empty()) row.Facts = Keep(answer->second.program, answer->second.facts);
  return true;
}

void RowWorker::Ask(const Question& question) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!asked_.insert(KeyOf(question)).second || stopping_) return;
  questions_.push_back(question);
  if (!thread_) thread_ = CreateThread(nullptr, 0, &RowWorker::ThreadMain, this, 0, nullptr);
  SetEvent(wake_);
}

DWORD WINAPI RowWorker::ThreadMain(void* self) {
  static_cast<RowWorker*>(self)->AnswerQuestions();
  return 0;
}

// The thread's own lookup looks at network paths; it reads nothing the
// window's thread writes except through the table.
void RowWorker::AnswerQuestions() {
  const NoCriticalErrorBoxes noBoxes;
  const ProgramLookup lookup;
  for (;;) {
    Question question;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (stopping_) return;
      if (questions_.empty()) {
        lock.unlock();
        WaitForSingleObject(wake_, INFINITE);
        continue;
      }
      question = std::move(questions_.front());
      questions_.pop_front();
    }
    Answer answer;
    {
      const FileSystemRedirectionOff redirectionOff;
      answer.presence = question.shortcut ? lookup.OfShortcut(true, question.text, &answer.program)
                                          : lookup.OfCommand(question.text, &answer.program);
      if (!answer.program.empty()) answer.facts = ReadProgramFacts(answer.program);
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
      answers_[KeyOf(question)] = std::move(answer);
    }
    PostMessageW(window_, answered_, 0, 0);
  }
}
