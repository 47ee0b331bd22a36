#include "manager/ListSaving.h"

#include <windows.h>
#include <wincrypt.h>

#include <unordered_map>

#include "common/Csv.h"
#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Signature.h"
#include "manager/EntryListing.h"
#include "manager/RowWork.h"

namespace {

// A provider context and a hash, released on every way out.
class Sha256 {
 public:
  Sha256() {
    if (CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
      CryptCreateHash(provider_, CALG_SHA_256, 0, 0, &hash_);
  }
  ~Sha256() {
    if (hash_) CryptDestroyHash(hash_);
    if (provider_) CryptReleaseContext(provider_, 0);
  }
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  bool Add(const BYTE* data, DWORD size) { return hash_ && CryptHashData(hash_, data, size, 0); }
  std::wstring Hex() {
    BYTE value[32];
    DWORD size = sizeof value;
    if (!hash_ || !CryptGetHashParam(hash_, HP_HASHVAL, value, &size, 0)) return std::wstring();
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring hex;
    for (DWORD at = 0; at < size; ++at) {
      hex += digits[value[at] >> 4];
      hex += digits[value[at] & 15];
    }
    return hex;
  }

 private:
  HCRYPTPROV provider_ = 0;
  HCRYPTHASH hash_ = 0;
};

}  // namespace

std::wstring Sha256OfFile(const std::wstring& path) {
  HANDLE file = CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::wstring();
  Sha256 hash;
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

std::string WholeListCsv(const std::vector<const TAutoRunNode*>& nodes, RowWorker& worker) {
  std::string csv = Utf8ByteOrderMark();
  csv += CsvRecord({L"Location", L"Name", L"Command", L"State", L"Missing", L"Publisher", L"Description",
                    L"Verified signer", L"SHA-256"});
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
      const std::wstring state = row->Skipped() ? L"skipped" : row->SwitchedOff() ? L"off" : L"on";
      const std::wstring missing = row->Missing()                              ? L"yes"
                                   : row->Presence == RowPresence::Found      ? L"no"
                                                                              : L"";
      csv += CsvRecord({node->Location.Text(), ShownName(row->Name), row->ShownPath(), state, missing,
                        facts ? facts->publisher : std::wstring(), facts ? facts->description : std::wstring(),
                        known.signature.state == SignatureState::Verified ? known.signature.signer : std::wstring(),
                        known.sha256});
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
