#include "common/Signature.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <mscat.h>

#include <vector>

#include "common/FileTools.h"

// wintrust.dll's calls, looked up when a verification first needs them:
// CryptCATAdminCalcHashFromFileHandle2 and CryptCATAdminAcquireContext2 are
// missing on older systems (and the first under Wine), so neither is
// imported by name.
struct TrustCalls {
  HMODULE wintrust = nullptr, crypt32 = nullptr;
  decltype(&WinVerifyTrust) verify = nullptr;
  decltype(&WTHelperProvDataFromStateData) providerData = nullptr;
  decltype(&WTHelperGetProvSignerFromChain) signerOf = nullptr;
  decltype(&CryptCATAdminAcquireContext) acquire = nullptr;
  decltype(&CryptCATAdminAcquireContext2) acquire2 = nullptr;
  decltype(&CryptCATAdminCalcHashFromFileHandle) hash = nullptr;
  decltype(&CryptCATAdminCalcHashFromFileHandle2) hash2 = nullptr;
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
    Find(wintrust, "CryptCATAdminCalcHashFromFileHandle", hash);
    Find(wintrust, "CryptCATAdminCalcHashFromFileHandle2", hash2);
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
    return acquire && hash && findCatalog && catalogInfo && releaseCatalog && release;
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

// The file's hash by one algorithm (SHA-256 through the newer calls, else
// SHA-1), and the catalog that lists it; the member verified there.
bool VerifyInCatalogs(const TrustCalls& calls, const std::wstring& path, HANDLE file, bool sha256,
                      SignatureAnswer& answer) {
  if (sha256 && (!calls.acquire2 || !calls.hash2)) return false;
  GUID driverAction = DRIVER_ACTION_VERIFY;
  HCATADMIN admin = nullptr;
  const BOOL acquired = sha256 ? calls.acquire2(&admin, &driverAction, L"SHA256", nullptr, 0)
                               : calls.acquire(&admin, &driverAction, 0);
  if (!acquired) return false;
  std::vector<BYTE> hash(64);
  DWORD size = static_cast<DWORD>(hash.size());
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  const BOOL hashed =
      sha256 ? calls.hash2(admin, file, &size, hash.data(), 0) : calls.hash(file, &size, hash.data(), 0);
  bool found = false;
  if (hashed) {
    hash.resize(size);
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
  }
  calls.release(admin, 0);
  return found;
}

}  // namespace

SignatureVerifier::SignatureVerifier() : calls_(std::make_unique<TrustCalls>()) {}
SignatureVerifier::~SignatureVerifier() = default;

// The handle shares reading and deleting, not writing: the version asked
// of it is the version verified.
SignatureAnswer SignatureVerifier::Verify(const std::wstring& path, FileStamp* verified) const {
  const TrustCalls& calls = *calls_;
  if (!calls.CanVerify()) return SignatureAnswer();
  const FileHandle file(path);
  if (!file.Open()) return SignatureAnswer();
  if (verified) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.Get(), &info)) return SignatureAnswer();
    verified->size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    verified->written = (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
  }
  SignatureAnswer answer = VerifyEmbedded(calls, path, file.Get());
  if (answer.state != SignatureState::NotSigned || !calls.CanSearchCatalogs()) return answer;
  SignatureAnswer inCatalog;
  if (VerifyInCatalogs(calls, path, file.Get(), true, inCatalog) ||
      VerifyInCatalogs(calls, path, file.Get(), false, inCatalog))
    return inCatalog;
  return answer;
}
