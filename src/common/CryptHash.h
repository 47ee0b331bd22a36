#pragma once
// A CryptoAPI hash and its provider, released on every way out.
#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

class CryptHash {
 public:
  explicit CryptHash(ALG_ID algorithm);
  ~CryptHash();
  CryptHash(const CryptHash&) = delete;
  CryptHash& operator=(const CryptHash&) = delete;
  bool Add(const BYTE* data, DWORD size) { return hash_ && CryptHashData(hash_, data, size, 0); }
  // The value; empty when the hash could not be made or read.
  std::vector<BYTE> Value();
  std::wstring Hex();

 private:
  HCRYPTPROV provider_ = 0;
  HCRYPTHASH hash_ = 0;
};
