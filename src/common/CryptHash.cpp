#include "common/CryptHash.h"

#include "common/FileTools.h"

CryptProvider::CryptProvider() {
  if (!CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
    provider_ = 0;
}

CryptProvider::~CryptProvider() {
  if (provider_) CryptReleaseContext(provider_, 0);
}

CryptHash::CryptHash(ALG_ID algorithm, const CryptProvider* shared) {
  if (!shared) shared = own_ = new CryptProvider;
  if (shared->Get()) CryptCreateHash(shared->Get(), algorithm, 0, 0, &hash_);
}

// The hash goes before the provider it was made with.
CryptHash::~CryptHash() {
  if (hash_) CryptDestroyHash(hash_);
  delete own_;
}

std::vector<BYTE> CryptHash::Value() {
  std::vector<BYTE> value(64);
  DWORD size = static_cast<DWORD>(value.size());
  if (!hash_ || !CryptGetHashParam(hash_, HP_HASHVAL, value.data(), &size, 0)) return std::vector<BYTE>();
  value.resize(size);
  return value;
}

std::wstring CryptHash::Hex() {
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring hex;
  for (const BYTE byte : Value()) {
    hex += digits[byte >> 4];
    hex += digits[byte & 15];
  }
  return hex;
}

std::wstring Sha256OfFile(const std::wstring& path, const std::function<bool()>& stop) {
  HANDLE file = CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::wstring();
  CryptHash hash(CALG_SHA_256);
  std::vector<BYTE> buffer(1 << 16);
  bool whole = true;
  for (;;) {
    if (stop && stop()) {
      whole = false;
      break;
    }
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

