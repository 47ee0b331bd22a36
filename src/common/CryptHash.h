#pragma once
// A CryptoAPI hash and its provider, released on every way out. Hashes
// made together share one provider (acquiring one reads the registry).
#include <windows.h>
#include <wincrypt.h>

#include <functional>
#include <string>
#include <vector>

class CryptProvider {
 public:
  CryptProvider();
  ~CryptProvider();
  CryptProvider(const CryptProvider&) = delete;
  CryptProvider& operator=(const CryptProvider&) = delete;
  HCRYPTPROV Get() const { return provider_; }

 private:
  HCRYPTPROV provider_ = 0;
};

class CryptHash {
 public:
  // With a provider of its own, or the one given (which outlives it).
  explicit CryptHash(ALG_ID algorithm, const CryptProvider* shared = nullptr);
  ~CryptHash();
  CryptHash(const CryptHash&) = delete;
  CryptHash& operator=(const CryptHash&) = delete;
  bool Add(const BYTE* data, DWORD size) { return hash_ && CryptHashData(hash_, data, size, 0); }
  // The value; empty when the hash could not be made or read.
  std::vector<BYTE> Value();
  std::wstring Hex();

 private:
  CryptProvider* own_ = nullptr;
  HCRYPTHASH hash_ = 0;
};

// A file's SHA-256 as lowercase hex; empty when it cannot be read whole,
// or when `stop` says so between two slices.
std::wstring Sha256OfFile(const std::wstring& path, const std::function<bool()>& stop = nullptr);
