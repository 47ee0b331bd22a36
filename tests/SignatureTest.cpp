// Who signed each program, as Windows verifies it: a publisher under a
// root the prefix trusts, a self-made signer, a changed byte, none; in a
// Run value and behind a Startup shortcut. The Publisher column and the
// status bar say it once the worker has answered.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>

#include "ManagerFixture.h"
#include "common/FileTools.h"
#include "common/Names.h"
#include "common/ShellLink.h"
#include "common/Signature.h"

namespace {

constexpr DWORD kVerifyDeadlineMs = 20000;

std::wstring SignedProgram(const wchar_t* name) {
  wchar_t self[MAX_PATH] = {}, full[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring relative = std::wstring(self).substr(0, std::wstring(self).find_last_of(L'\\')) +
                                L"\\..\\programs\\signed\\" + name;
  GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
  return full;
}

// The build's test root, trusted by the prefix's user: kept only once the
// store is closed.
void TrustTheTestRoot() {
  std::vector<std::uint8_t> der;
  ReadWholeFile(SignedProgram(L"root.cer"), der);
  ASSERT_FALSE(der.empty());
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  ASSERT_NE(store, nullptr);
  EXPECT_TRUE(CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                               CERT_STORE_ADD_USE_EXISTING, nullptr));
  CertCloseStore(store, 0);
}

class SignatureTest : public BothViewsTest {
 protected:
  static void SetUpTestSuite() { TrustTheTestRoot(); }
};

struct Case {
  const wchar_t* file;
  SignatureState state;
  const wchar_t* publisher;  // the column
  const wchar_t* reason;     // the status bar's third panel
};
const Case kCases[] = {
    {L"verified.exe", SignatureState::Verified, L"(Verified) Velmora Test Publisher",
     L"Signed by Velmora Test Publisher"},
    {L"selfmade.exe", SignatureState::Untrusted, L"(Not verified) Beispiel GmbH",
     L"Signed, but not by a trusted publisher"},
    {L"tampered.exe", SignatureState::BadDigest, L"(Not verified) Beispiel GmbH",
     L"The file does not match its signature"},
    {L"unsigned.exe", SignatureState::NotSigned, L"(Not verified) Beispiel GmbH", L"Not signed"},
};

}  // namespace

TEST_F(SignatureTest, EachProgramShowsWhoReallySignedIt) {
  const SignatureVerifier verifier;
  for (const Case& c : kCases) {
    const SignatureAnswer answer = verifier.Verify(SignedProgram(c.file));
    EXPECT_EQ(answer.state, c.state) << A(c.file);
    if (c.state == SignatureState::Verified) EXPECT_EQ(answer.signer, L"Velmora Test Publisher");
  }
  EXPECT_EQ(verifier.Verify(SignedProgram(L"absent.exe")).state, SignatureState::Unknown);

  const std::string run = RunKeyPath("Run");
  for (const Case& c : kCases)
    SetValueAt(HKEY_CURRENT_USER, run, c.file, REG_SZ, Utf16(L"\"" + SignedProgram(c.file) + L"\" /start"));
  std::wstring link;
  ASSERT_EQ(CreateShortcut(W(sandbox.UserStartup().Path()), SignedProgram(L"verified.exe"), L"", L"", link), S_OK);
  ManagerDriver& frame = Open("CURRENT USER", "");
  const auto publisherOf = [&](const std::wstring& name) {
    const int row = frame.RowOf(name);
    return row < 0 ? std::wstring(L"(no row)") : frame.lvAutoRun.Text(row, kPublisherColumn);
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(A(c.file));
    EXPECT_TRUE(PumpUntil([&] { return publisherOf(c.file) == c.publisher; }, kVerifyDeadlineMs))
        << A(publisherOf(c.file));
    frame.lvAutoRun.SelectOnly(frame.RowOf(c.file));
    EXPECT_TRUE(PumpUntil([&] { return frame.StatusBar.Text(2) == c.reason; }, kVerifyDeadlineMs))
        << A(frame.StatusBar.Text(2));
  }
  // The shortcut's target is what is verified.
  const std::wstring linkName = link.substr(link.find_last_of(L'\\') + 1);
  EXPECT_TRUE(PumpUntil([&] { return publisherOf(linkName) == kCases[0].publisher; }, kVerifyDeadlineMs))
      << A(publisherOf(linkName));
  // Sorted by that text: the verified ones after the others ("(N" < "(V").
  frame.ClickHeader(kPublisherColumn);
  PumpUntilIdle();
  std::vector<std::wstring> shown;
  for (int row = 0; row < frame.lvAutoRun.Count(); ++row) shown.push_back(frame.lvAutoRun.Text(row, kPublisherColumn));
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end(), [](const std::wstring& a, const std::wstring& b) {
    return CompareNaturally(a, b) < 0;
  }));
}
