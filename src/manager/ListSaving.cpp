#include "manager/ListSaving.h"

#include <objbase.h>

#include <unordered_map>

#include "common/CryptHash.h"
#include "common/Csv.h"
#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Signature.h"
#include "manager/EntryListing.h"
#include "manager/TaskListing.h"

namespace {
// On every row: a reader tells the format apart without a comment line.
const wchar_t kListFormat[] = L"velmora-list 2";
constexpr DWORD kProgressEveryMs = 100;
}  // namespace

std::wstring ListState(const TAutoRunItem& row) {
  return row.Skipped() ? L"skipped" : row.NotLoaded() ? L"not loaded" : row.SwitchedOff() ? L"off" : L"on";
}

std::vector<ListedEntry> ListedEntries(const std::vector<const TAutoRunNode*>& nodes) {
  std::vector<ListedEntry> entries;
  for (const TAutoRunNode* node : nodes) {
    Listing listing = ListLocation(*node);
    const std::wstring location = node->Location.Text();
    for (const auto& row : listing.rows)
      entries.push_back({location, row->Name, row->ShownPath(), ListState(*row), RowWorker::ThreadQuestionOf(*row)});
    if (listing.error) std::rethrow_exception(listing.error);
  }
  return entries;
}

ListSaver::ListSaver(UINT progressed) : progressed_(progressed) {}

// A program stuck on a share is left to end by itself; the library stays
// loaded until it has.
ListSaver::~ListSaver() {
  if (!thread_) return;
  Cancel();
  CancelSynchronousIo(thread_);
  WaitForSingleObject(thread_, kStuckQueryMs);
  CloseHandle(thread_);
}

bool ListSaver::Busy() const {
  if (!shared_) return false;
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->running;
}

void ListSaver::Start(const std::vector<const TAutoRunNode*>& places, const std::wstring& path) {
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);  // ended: Busy said so
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  shared_ = std::make_shared<Shared>();
  shared_->window = window_;
  shared_->message = progressed_;
  std::vector<TAutoRunNode> copies;
  for (const TAutoRunNode* place : places) copies.push_back(*place);
  auto* handed = new Handed{shared_, std::move(copies), path};
  thread_ = CreateThread(nullptr, 0, &ListSaver::ThreadMain, handed, 0, nullptr);
  if (!thread_) {
    delete handed;
    shared_.reset();
    throw EVelmoraError(FormatMessageText("Failed to save the list to '%s'", path), static_cast<long>(GetLastError()));
  }
}

void ListSaver::Cancel() {
  if (!shared_) return;
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->cancelled = true;
}

ListSaver::Progress ListSaver::Take() {
  Progress none;  // no save, or its end already taken
  none.ended = true;
  if (!shared_) return none;
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->posted = false;
  if (!shared_->running) return none;
  if (shared_->progress.ended) shared_->running = false;
  return shared_->progress;
}

DWORD WINAPI ListSaver::ThreadMain(void* handed) {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ListSaver::ThreadMain), &self);
  {
    const std::unique_ptr<Handed> owned(static_cast<Handed*>(handed));
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Save(*owned->shared, owned->places, owned->path);
    if (SUCCEEDED(com)) CoUninitialize();
  }
  if (self) FreeLibraryAndExitThread(self, 0);
  return 0;
}

void ListSaver::Save(Shared& shared, const std::vector<TAutoRunNode>& places, const std::wstring& path) {
  const auto cancelled = [&shared] {
    std::lock_guard<std::mutex> lock(shared.mutex);
    return shared.cancelled;
  };
  // One message waits at a time, and progress comes at most ten times a
  // second: the window reads where the save is then, and paints it.
  DWORD lastPost = GetTickCount() - kProgressEveryMs;
  const auto report = [&shared, &lastPost](const std::function<void(Progress&)>& change) {
    bool post = false;
    {
      std::lock_guard<std::mutex> lock(shared.mutex);
      change(shared.progress);
      post = !shared.posted && (shared.progress.ended || GetTickCount() - lastPost >= kProgressEveryMs);
      shared.posted = shared.posted || post;
    }
    if (!post || !shared.window) return;
    lastPost = GetTickCount();
    PostMessageW(shared.window, shared.message, 0, 0);
  };
  // The tasks as they are now, not as last read.
  ReadTasks();
  std::vector<const TAutoRunNode*> nodes;
  for (const TAutoRunNode& place : places) nodes.push_back(&place);
  std::vector<ListedEntry> entries;
  try {
    entries = ListedEntries(nodes);
  } catch (const std::exception& error) {
    const EVelmoraError* velmora = dynamic_cast<const EVelmoraError*>(&error);
    return report([&](Progress& progress) {
      progress.ended = true;
      progress.error = error.what();
      progress.code = velmora ? velmora->Code() : 0;
    });
  }
  report([&](Progress& progress) { progress.total = entries.size(); });
  std::string csv = Utf8ByteOrderMark();
  csv += CsvRecord({L"Location", L"Name", L"Command", L"State", L"Missing", L"Publisher", L"Description",
                    L"Verified signer", L"Program", L"SHA-256", L"Format"});
  const NoCriticalErrorBoxes noBoxes;
  const ProgramLookup lookup;
  const SignatureVerifier verifier;
  struct Known {
    SignatureAnswer signature;
    std::wstring sha256;
  };
  std::unordered_map<std::wstring, Known> programs;
  for (size_t at = 0; at < entries.size(); ++at) {
    if (cancelled()) return report([](Progress& progress) { progress.ended = true; });
    const ListedEntry& entry = entries[at];
    const RowWorker::Answer answer = RowWorker::AnswerOf(lookup, entry.question);
    // The first program found stands for the entry, as its row's facts do.
    const ProgramFacts* facts = nullptr;
    std::wstring program;
    for (size_t part = 0; part < answer.programs.size() && !facts; ++part)
      if (!answer.programs[part].empty()) {
        facts = &answer.facts[part];
        program = answer.programs[part];
      }
    Known known;
    if (facts) {
      auto found = programs.find(program);
      if (found == programs.end()) {
        const FileSystemRedirectionOff redirectionOff;
        found = programs.emplace(program, Known{verifier.Verify(program, nullptr, cancelled),
                                                Sha256OfFile(program, cancelled)}).first;
      }
      known = found->second;
    }
    const std::wstring missing = answer.presence == ProgramPresence::Missing ? L"yes"
                                 : answer.presence == ProgramPresence::Found ? L"no"
                                                                             : L"";
    // Every field as text to a spreadsheet: entry names and commands are
    // written by whatever program made the entry.
    std::vector<std::wstring> fields = {
        entry.location, ListName(entry.name), entry.command, entry.state, missing,
        facts ? facts->publisher : std::wstring(), facts ? facts->description : std::wstring(),
        known.signature.state == SignatureState::Verified ? known.signature.signer : std::wstring(),
        program, known.sha256, kListFormat};
    for (std::wstring& field : fields) field = AsSpreadsheetText(field);
    csv += CsvRecord(fields);
    report([at](Progress& progress) { progress.done = at + 1; });
  }
  if (cancelled()) return report([](Progress& progress) { progress.ended = true; });
  const DWORD written = WriteWholeFile(path, std::vector<std::uint8_t>(csv.begin(), csv.end()), true);
  report([&](Progress& progress) {
    progress.ended = true;
    if (written == ERROR_SUCCESS) return;
    progress.error = FormatMessageText("Failed to save the list to '%s'", path);
    progress.code = static_cast<long>(written);
  });
}
