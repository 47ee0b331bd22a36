#include "common/Signature.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <mscat.h>

#include <algorithm>
#include <vector>

#include "common/CryptHash.h"
#include "common/FileTools.h"
#include "common/ImageHash.h"

// wintrust.dll's calls, looked up when a verification first needs them:
// CryptCATAdminAcquireContext2 is missing on older systems, so nothing is
// imported by name. The catalogs' hash of a file is made here, in slices
// (CryptCATAdminCalcHashFromFileHandle reads a file whole in one call).
struct TrustCalls {
  HMODULE wintrust = nullptr, crypt32 = nullptr;
  decltype(&WinVerifyTrust) verify = nullptr;
  decltype(&WTHelperProvDataFromStateData) providerData = nullptr;
  decltype(&WTHelperGetProvSignerFromChain) signerOf = nullptr;
  decltype(&CryptCATAdminAcquireContext) acquire = nullptr;
  decltype(&CryptCATAdminAcquireContext2) acquire2 = nullptr;
  decltype(&CryptCATAdminEnumCatalogFromHash) findCatalog = nullptr;
  decltype(&CryptCATCatalogInfoFromContext) catalogInfo = nullptr;
  decltype(&CryptCATAdminReleaseCatalogContext) releaseCatalog = nullptr;
  decltype(&CryptCATAdminReleaseContext) release = nullptr;
  decltype(&CertGetNameStringW) nameOf = nullptr;

  TrustCalls() {
    wintrust = LoadLibraryW(L"wintrust.dll");
    crypt32 = LoadLibraryW(L"crypt32.dll");
    if (!wintrust || !crypt32) return;
    Find(wintrust, "WinVerifyTrust", verify);
    Find(wintrust, "WTHelperProvDataFromStateData", providerData);
    Find(wintrust, "WTHelperGetProvSignerFromChain", signerOf);
    Find(wintrust, "CryptCATAdminAcquireContext", acquire);
    Find(wintrust, "CryptCATAdminAcquireContext2", acquire2);
    Find(wintrust, "CryptCATAdminEnumCatalogFromHash", findCatalog);
    Find(wintrust, "CryptCATCatalogInfoFromContext", catalogInfo);
    Find(wintrust, "CryptCATAdminReleaseCatalogContext", releaseCatalog);
    Find(wintrust, "CryptCATAdminReleaseContext", release);
    Find(crypt32, "CertGetNameStringW", nameOf);
  }
  ~TrustCalls() {
    if (wintrust) FreeLibrary(wintrust);
    if (crypt32) FreeLibrary(crypt32);
  }
  TrustCalls(const TrustCalls&) = delete;
  TrustCalls& operator=(const TrustCalls&) = delete;
  bool CanVerify() const { return verify && providerData && signerOf && nameOf; }
  bool CanSearchCatalogs() const {
    return acquire && findCatalog && catalogInfo && releaseCatalog && release;
  }

 private:
  template <class Call>
  static void Find(HMODULE module, const char* name, Call& call) {
    call = reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
};

namespace {

// Errors of the signer's chain that do not make it untrusted here:
// revocation is not checked, so its status is unknown.
constexpr DWORD kIgnoredChainErrors = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

class FileHandle {
 public:
  explicit FileHandle(const std::wstring& path)
      : handle_(CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~FileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool Open() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// One WinVerifyTrust run, its state closed on every way out; the answer
// from its result and the signer's chain.
SignatureAnswer Verify(const TrustCalls& calls, WINTRUST_DATA& data) {
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
  const HWND noWindow = static_cast<HWND>(INVALID_HANDLE_VALUE);
  const LONG result = calls.verify(noWindow, &action, &data);
  SignatureAnswer answer;
  bool chainTrusted = false;
  if (data.hWVTStateData) {
    CRYPT_PROVIDER_DATA* provider = calls.providerData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer = provider ? calls.signerOf(provider, 0, FALSE, 0) : nullptr;
    if (signer && signer->csCertChain > 0 && signer->pasCertChain && signer->pasCertChain[0].pCert) {
      wchar_t name[512] = L"";
      calls.nameOf(signer->pasCertChain[0].pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 512);
      answer.signer = name;
    }
    // WinVerifyTrust may pass a chain whose root no store trusts (Wine
    // does): the chain's own status decides.
    if (signer && signer->pChainContext)
      chainTrusted = (signer->pChainContext->TrustStatus.dwErrorStatus & ~kIgnoredChainErrors) == 0;
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  calls.verify(noWindow, &action, &data);
  switch (static_cast<DWORD>(result)) {
    case ERROR_SUCCESS:
      answer.state = chainTrusted ? SignatureState::Verified : SignatureState::Untrusted;
      break;
    case static_cast<DWORD>(TRUST_E_NOSIGNATURE):
    case static_cast<DWORD>(TRUST_E_SUBJECT_FORM_UNKNOWN):
    case static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN):
      answer.state = SignatureState::NotSigned;
      break;
    case static_cast<DWORD>(TRUST_E_BAD_DIGEST):
    case static_cast<DWORD>(CRYPT_E_HASH_VALUE):
      answer.state = SignatureState::BadDigest;
      break;
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_CHAINING):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDTESTROOT):
    case static_cast<DWORD>(CERT_E_EXPIRED):
    case static_cast<DWORD>(CERT_E_WRONG_USAGE):
    case static_cast<DWORD>(TRUST_E_EXPLICIT_DISTRUST):
    case static_cast<DWORD>(TRUST_E_CERT_SIGNATURE):
    case static_cast<DWORD>(TRUST_E_BASIC_CONSTRAINTS):
    case static_cast<DWORD>(CERT_E_REVOKED):
      answer.state = SignatureState::Untrusted;
      break;
    default:
      answer.state = SignatureState::Unknown;
      break;
  }
  if (answer.state == SignatureState::NotSigned) answer.signer.clear();
  return answer;
}

SignatureAnswer VerifyEmbedded(const TrustCalls& calls, const std::wstring& path, HANDLE file) {
  WINTRUST_FILE_INFO info{};
  info.cbStruct = sizeof info;
  info.pcwszFilePath = path.c_str();
  info.hFile = file;
  WINTRUST_DATA data{};
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &info;
  return Verify(calls, data);
}

std::wstring HexOf(const std::vector<BYTE>& bytes) {
  static const wchar_t digits[] = L"0123456789ABCDEF";
  std::wstring hex;
  for (BYTE byte : bytes) {
    hex += digits[byte >> 4];
    hex += digits[byte & 15];
  }
  return hex;
}

// The file's hashes the catalogs may list it by, made in slices, each
// slice only once `stopped` has said no: whole, and as a PE image (how
// Windows lists a program), by SHA-1 and SHA-256. False when stopped or
// the file could not be read whole.
struct CatalogHashes {
  bool image = false;
  std::vector<BYTE> whole1, whole256, image1, image256;
};

constexpr DWORD kSlice = 1 << 20;

bool HashForCatalogs(HANDLE file, std::uint64_t size, const std::function<bool()>& stopped, CatalogHashes& hashes) {
  std::vector<BYTE> buffer(static_cast<size_t>(std::min<std::uint64_t>(std::max<std::uint64_t>(size, 4096), kSlice)));
  DWORD read = 0;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  if (!ReadFile(file, buffer.data(), 4096, &read, nullptr)) return false;
  const ImageHashPlan plan = PlanImageHash(buffer.data(), read, size);
  hashes.image = plan.image;
  const CryptProvider provider;
  CryptHash whole1(CALG_SHA1, &provider), whole256(CALG_SHA_256, &provider),
      image1(CALG_SHA1, &provider), image256(CALG_SHA_256, &provider);
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  for (std::uint64_t at = 0; at < size; at += read) {
    if (stopped && stopped()) return false;
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) || read == 0) return false;
    if (!whole1.Add(buffer.data(), read)) return false;
    if (!plan.image) {
      if (!whole256.Add(buffer.data(), read)) return false;
      continue;
    }
    // The slice's bytes outside the ranges left out, and before the end.
    std::uint64_t from = at;
    const std::uint64_t to = std::min<std::uint64_t>(at + read, plan.end);
    for (const auto& [skipFrom, skipTo] : plan.skipped) {
      if (from >= to) break;
      if (skipTo <= from) continue;
      const std::uint64_t upTo = std::min(skipFrom, to);
      if (upTo > from) {
        image1.Add(buffer.data() + (from - at), static_cast<DWORD>(upTo - from));
        image256.Add(buffer.data() + (from - at), static_cast<DWORD>(upTo - from));
      }
      from = std::max(from, skipTo);
    }
    if (to > from) {
      image1.Add(buffer.data() + (from - at), static_cast<DWORD>(to - from));
      image256.Add(buffer.data() + (from - at), static_cast<DWORD>(to - from));
    }
  }
  hashes.whole1 = whole1.Value();
  if (!plan.image) hashes.whole256 = whole256.Value();
  if (plan.image) {
    hashes.image1 = image1.Value();
    hashes.image256 = image256.Value();
  }
  return !hashes.whole1.empty();
}

// The catalog that lists a hash, and the member verified there with the
// hash given (the file is not read again).
bool VerifyInCatalogs(const TrustCalls& calls, const std::wstring& path, HANDLE file, bool sha256,
                      std::vector<BYTE> hash, SignatureAnswer& answer) {
  if (hash.empty() || (sha256 && !calls.acquire2)) return false;
  GUID driverAction = DRIVER_ACTION_VERIFY;
  HCATADMIN admin = nullptr;
  const BOOL acquired = sha256 ? calls.acquire2(&admin, &driverAction, L"SHA256", nullptr, 0)
                               : calls.acquire(&admin, &driverAction, 0);
  if (!acquired) return false;
  const DWORD size = static_cast<DWORD>(hash.size());
  bool found = false;
  HCATINFO catalog = calls.findCatalog(admin, hash.data(), size, 0, nullptr);
  if (catalog) {
    CATALOG_INFO info{};
    info.cbStruct = sizeof info;
    if (calls.catalogInfo(catalog, &info, 0)) {
      const std::wstring tag = HexOf(hash);
      WINTRUST_CATALOG_INFO member{};
      member.cbStruct = sizeof member;
      member.pcwszCatalogFilePath = info.wszCatalogFile;
      member.pcwszMemberTag = tag.c_str();
      member.pcwszMemberFilePath = path.c_str();
      member.hMemberFile = file;
      member.pbCalculatedFileHash = hash.data();
      member.cbCalculatedFileHash = size;
      WINTRUST_DATA data{};
      data.dwUnionChoice = WTD_CHOICE_CATALOG;
      data.pCatalog = &member;
      answer = Verify(calls, data);
      found = true;
    }
    calls.releaseCatalog(admin, catalog, 0);
  }
  calls.release(admin, 0);
  return found;
}

}  // namespace

SignatureVerifier::SignatureVerifier() : calls_(std::make_unique<TrustCalls>()) {}
SignatureVerifier::~SignatureVerifier() = default;

// The handle shares reading and deleting, not writing: the version asked
// of it is the version verified.
SignatureAnswer SignatureVerifier::Verify(const std::wstring& path, FileStamp* verified,
                                          const std::function<bool()>& stopped) const {
  const TrustCalls& calls = *calls_;
  if (!calls.CanVerify()) return SignatureAnswer();
  const FileHandle file(path);
  if (!file.Open()) return SignatureAnswer();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) return SignatureAnswer();
  const FileStamp stamp = FileStampFrom(info.nFileSizeHigh, info.nFileSizeLow, info.ftLastWriteTime);
  const std::uint64_t size = stamp.size;
  if (verified) *verified = stamp;
  SignatureAnswer answer = VerifyEmbedded(calls, path, file.Get());
  if (answer.state != SignatureState::NotSigned || !calls.CanSearchCatalogs()) return answer;
  CatalogHashes hashes;
  if (!HashForCatalogs(file.Get(), size, stopped, hashes)) return stopped && stopped() ? SignatureAnswer() : answer;
  // Windows lists a program by its image hash, SHA-256 first; Wine by the
  // whole file's SHA-1.
  const std::pair<bool, const std::vector<BYTE>*> tries[] = {
      {true, hashes.image ? &hashes.image256 : &hashes.whole256},
      {false, hashes.image ? &hashes.image1 : &hashes.whole1},
      {false, hashes.image ? &hashes.whole1 : nullptr},
  };
  SignatureAnswer inCatalog;
  for (const auto& [sha256, hash] : tries)
    if (hash && VerifyInCatalogs(calls, path, file.Get(), sha256, *hash, inCatalog)) return inCatalog;
  return answer;
}
