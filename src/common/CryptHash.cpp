#include "common/CryptHash.h"

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
