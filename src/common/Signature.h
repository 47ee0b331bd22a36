#pragma once
// Who signed a program, as Windows verifies it: the file's own Authenticode
// signature, else the system's catalogs (how most of Windows' programs are
// signed). A signature counts only when its chain ends in a trusted root.
// Never the network: revocation is not checked, URLs only from the cache.
// Blocking; meant for a worker thread. wintrust.dll is loaded on first use,
// so the library's own loading does not pay for it.
#include <cstdint>
#include <memory>
#include <string>

enum class SignatureState : unsigned char {
  Verified,   // signed, the file matches, the chain ends in a trusted root
  NotSigned,  // no signature, none in a catalog
  BadDigest,  // signed, but the file does not match its signature
  Untrusted,  // signed, but not by a trusted publisher (or the chain is otherwise bad)
  Unknown,    // the file could not be read, or the system cannot say
};

struct SignatureAnswer {
  SignatureState state = SignatureState::Unknown;
  std::wstring signer;  // the signer's name, when there is a signature
  bool operator==(const SignatureAnswer& other) const { return state == other.state && signer == other.signer; }
};

// Holds wintrust.dll loaded while it lives: one per worker thread.
class SignatureVerifier {
 public:
  SignatureVerifier();
  ~SignatureVerifier();
  SignatureVerifier(const SignatureVerifier&) = delete;
  SignatureVerifier& operator=(const SignatureVerifier&) = delete;
  SignatureAnswer Verify(const std::wstring& path) const;

 private:
  std::unique_ptr<struct TrustCalls> calls_;
};
