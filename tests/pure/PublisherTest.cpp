// What a row says of who signed what it starts: never the verified form
// before the answer, and a list no more than its least verified program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/Publisher.h"

namespace {

ProgramFacts Program(const wchar_t* company, bool known = false, SignatureState state = SignatureState::Unknown,
                     const wchar_t* signer = L"") {
  ProgramFacts facts;
  facts.publisher = company;
  facts.signatureKnown = known;
  facts.signature = SignatureAnswer{state, signer};
  return facts;
}

const ProgramFacts kWindows = Program(L"Microsoft Corporation", true, SignatureState::Verified, L"Microsoft Windows");
const ProgramFacts kWindowsPublisher =
    Program(L"Microsoft Corporation", true, SignatureState::Verified, L"Microsoft Windows Publisher");
const ProgramFacts kUnsigned = Program(L"Evil Ltd", true, SignatureState::NotSigned);
const ProgramFacts kPending = Program(L"Someone");
const ProgramFacts kClaimsVerified = Program(L"(Verified) MS");
const ProgramFacts kOther = Program(L"Other", true, SignatureState::Verified, L"Other Signer");

ProgramFacts List(std::vector<const ProgramFacts*> parts) {
  ProgramFacts list = parts.front() ? *parts.front() : ProgramFacts();
  list.parts = std::move(parts);
  return list;
}

TEST(Publisher, EachRowSaysNoMoreThanItsLeastVerifiedProgram) {
  struct Case {
    const char* what;
    ProgramFacts facts;
    std::wstring publisher, reason;
    bool windows;
  };
  const Case cases[] = {
      {"one verified", kWindows, L"(Verified) Microsoft Windows", L"Signed by Microsoft Windows", true},
      {"before the answer", kPending, L"(Not verified) Someone", L"", false},
      {"a company that claims the verified form", kClaimsVerified, L"(Not verified) (Verified) MS", L"", false},
      {"nothing named", Program(L"", true, SignatureState::NotSigned), L"", L"Not signed", false},
      {"signed, no company", Program(L"", true, SignatureState::Untrusted, L"Self"), L"(Not verified) Self",
       L"Signed, but not by a trusted publisher", false},
      {"a hijacked list", List({&kWindows, &kUnsigned}), L"(Not verified) Evil Ltd", L"Not signed", false},
      {"a list whose second answer has not come", List({&kWindows, &kPending}), L"(Not verified) Someone", L"",
       false},
      {"a list whose first is not verified", List({&kUnsigned, &kWindows}), L"(Not verified) Evil Ltd",
       L"Not signed", false},
      {"a list of one signer", List({&kWindows, &kWindows}), L"(Verified) Microsoft Windows",
       L"Signed by Microsoft Windows", true},
      {"a list of Windows' two signers", List({&kWindows, &kWindowsPublisher}), L"(Not verified) Microsoft Corporation",
       L"Signed by Microsoft Windows Publisher", true},
      {"a list with another signer", List({&kWindows, &kOther}), L"(Not verified) Other", L"Signed by Other Signer",
       false},
      {"a list with a program not found", List({&kWindows, nullptr}), L"", L"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(PublisherText(c.facts), c.publisher);
    EXPECT_EQ(SignatureText(&c.facts), c.reason);
    EXPECT_EQ(SignedByWindows(&c.facts), c.windows);
  }
  EXPECT_FALSE(SignedByWindows(nullptr));
  EXPECT_EQ(SignatureText(nullptr), L"");
}

}  // namespace
