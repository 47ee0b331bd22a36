#include "manager/ListSaving.h"

#include <windows.h>
#include <wincrypt.h>

#include <unordered_map>

#include "common/CryptHash.h"
#include "common/Csv.h"
#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Signature.h"
#include "manager/EntryListing.h"
#include "manager/RowWork.h"

std::wstring Sha256OfFile(const std::wstring& path) {
  HANDLE file = CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::wstring();
  CryptHash hash(CALG_SHA_256);
  std::vector<BYTE> buffer(1 << 16);
  bool whole = true;
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      whole = false;
      break;
    }
    if (read == 0) break;
    if (!hash.Add(buffer.data(), read)) {
      whole = false;
      break;
    }
  }
  CloseHandle(file);
  return whole ? hash.Hex() : std::wstring();
}

namespace {
// On every row: a reader tells the format apart without a comment line.
const wchar_t kListFormat[] = L"velmora-list 2";
}  // namespace

std::string WholeListCsv(const std::vector<const TAutoRunNode*>& nodes, RowWorker& worker) {
  std::string csv = Utf8ByteOrderMark();
  csv += CsvRecord({L"Location", L"Name", L"Command", L"State", L"Missing", L"Publisher", L"Description",
                    L"Verified signer", L"Program", L"SHA-256", L"Format"});
  const SignatureVerifier verifier;
  struct Known {
    SignatureAnswer signature;
    std::wstring sha256;
  };
  std::unordered_map<std::wstring, Known> programs;
  for (const TAutoRunNode* node : nodes) {
    Listing listing = ListLocation(*node);
    for (auto& row : listing.rows) {
      worker.Settle(*row);
      const ProgramFacts* facts = row->Facts;
      Known known;
      if (facts && !facts->program.empty()) {
        auto found = programs.find(facts->program);
        if (found == programs.end()) {
          const FileSystemRedirectionOff redirectionOff;
          found = programs.emplace(facts->program, Known{verifier.Verify(facts->program), Sha256OfFile(facts->program)})
                      .first;
        }
        known = found->second;
      }
      const std::wstring state = row->Skipped()     ? L"skipped"
                                 : row->NotLoaded() ? L"not loaded"
                                 : row->SwitchedOff() ? L"off"
                                                      : L"on";
      const std::wstring missing = row->Missing()                              ? L"yes"
                                   : row->Presence == RowPresence::Found      ? L"no"
                                                                              : L"";
      // Every field as text to a spreadsheet: entry names and commands are
      // written by whatever program made the entry.
      std::vector<std::wstring> fields = {
          node->Location.Text(), ListName(row->Name), row->ShownPath(), state, missing,
          facts ? facts->publisher : std::wstring(), facts ? facts->description : std::wstring(),
          known.signature.state == SignatureState::Verified ? known.signature.signer : std::wstring(),
          facts ? facts->program : std::wstring(), known.sha256, kListFormat};
      for (std::wstring& field : fields) field = AsSpreadsheetText(field);
      csv += CsvRecord(fields);
    }
    if (listing.error) std::rethrow_exception(listing.error);
  }
  return csv;
}

void SaveWholeList(const std::vector<const TAutoRunNode*>& nodes, RowWorker& worker, const std::wstring& path) {
  const std::string csv = WholeListCsv(nodes, worker);
  const DWORD written = WriteWholeFile(path, std::vector<std::uint8_t>(csv.begin(), csv.end()), true);
  if (written != ERROR_SUCCESS)
    throw EVelmoraError(FormatMessageText("Failed to save the list to '%s'", path), static_cast<long>(written));
}
