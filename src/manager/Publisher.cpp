#include "manager/Publisher.h"

namespace {

const wchar_t* const kWindowsSigners[] = {L"Microsoft Windows", L"Microsoft Windows Publisher"};

bool Verified(const ProgramFacts* facts) {
  return facts && facts->signatureKnown && facts->signature.state == SignatureState::Verified;
}

// One program, or a list's first program that is not verified by the
// first's signer (null for one not found); the first when all are.
const ProgramFacts* Deciding(const ProgramFacts& facts) {
  if (facts.parts.empty()) return &facts;
  const ProgramFacts* first = facts.parts.front();
  if (!Verified(first)) return first;
  for (const ProgramFacts* part : facts.parts)
    if (!Verified(part) || part->signature.signer != first->signature.signer) return part;
  return first;
}

}  // namespace

// A company name is the file's own claim: before the answer it is shown
// as not verified, so that no claim can look like a verified signer.
std::wstring PublisherText(const ProgramFacts& facts) {
  const ProgramFacts* deciding = Deciding(facts);
  if (!deciding) return std::wstring();
  // A list's program verified by another signer than the first's is not
  // the list verified.
  const bool all = facts.parts.empty() || deciding == facts.parts.front();
  if (all && Verified(deciding)) return L"(Verified) " + deciding->signature.signer;
  const std::wstring& claimed = !deciding->publisher.empty() || !deciding->signatureKnown || Verified(deciding)
                                    ? deciding->publisher
                                    : deciding->signature.signer;
  return claimed.empty() ? std::wstring() : L"(Not verified) " + claimed;
}

std::wstring SignatureText(const ProgramFacts* facts) {
  const ProgramFacts* deciding = facts ? Deciding(*facts) : nullptr;
  if (!deciding || !deciding->signatureKnown) return std::wstring();
  switch (deciding->signature.state) {
    case SignatureState::Verified:
      return L"Signed by " + deciding->signature.signer;
    case SignatureState::NotSigned:
      return L"Not signed";
    case SignatureState::BadDigest:
      return L"The file does not match its signature";
    case SignatureState::Untrusted:
      return L"Signed, but not by a trusted publisher";
    case SignatureState::Unknown:
      break;
  }
  return std::wstring();
}

bool SignedByWindows(const ProgramFacts* facts) {
  if (!facts) return false;
  const auto byWindows = [](const ProgramFacts* program) {
    if (!Verified(program)) return false;
    for (const wchar_t* signer : kWindowsSigners)
      if (program->signature.signer == signer) return true;
    return false;
  };
  if (facts->parts.empty()) return byWindows(facts);
  for (const ProgramFacts* part : facts->parts)
    if (!byWindows(part)) return false;
  return true;
}
