#pragma once
// Who signed a program, as Windows verifies it: the file's own Authenticode
// signature, else the system's catalogs (how most of Windows' programs are
// signed). A signature counts only when its chain ends in a trusted root.
// Never the network: revocation is not checked, URLs only from the cache.
// Blocking; meant for a worker thread. wintrust.dll is loaded on first use,
// so the library's own loading does not pay for it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum class SignatureState : unsigned char {
  Verified,   // signed, the file matches, the chain ends in a trusted root
  NotSigned,  // no signature, none in a catalog
  BadDigest,  // signed, but the file does not match its signature
  Untrusted,  // signed, but not by a trusted publisher (or the chain is otherwise bad)
  Unknown,    // the file could not be read, or the system cannot say
};

// A file's version, as what is known of it is kept: its size and last
// write. Another version is another file to read and verify.
struct FileStamp {
  std::uint64_t size = 0, written = 0;
  bool operator==(const FileStamp& other) const { return size == other.size && written == other.written; }
  bool operator!=(const FileStamp& other) const { return !(*this == other); }
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
  // `verified` gets the version of the file the answer is about, read
  // from the handle verified: nothing can write the file meanwhile. The
  // catalogs' hash is made in slices of a megabyte; once `stopped` says so
  // between two, the answer is Unknown.
  SignatureAnswer Verify(const std::wstring& path, FileStamp* verified = nullptr,
                         const std::function<bool()>& stopped = {}) const;

 private:
  std::unique_ptr<struct TrustCalls> calls_;
};
