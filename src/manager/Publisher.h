#pragma once
// What a row says of who made and who signed the programs it starts: the
// Publisher column, the status bar's reason and whether the row is one of
// Windows' own. A row that starts several programs (a Userinit or Load
// list) says no more than its least verified program does.
#include <string>

#include "common/VersionInfo.h"

// "(Verified) <signer>" only once the signature is known to verify (for a
// list: every program, by one signer); else "(Not verified) <company>" of
// the program that decides, or nothing when it names none.
std::wstring PublisherText(const ProgramFacts& facts);
// The status bar's reason; empty until the deciding answer is known.
std::wstring SignatureText(const ProgramFacts* facts);
// Every program the row starts verified and signed by Windows' own signer
// names ("Microsoft Windows", "Microsoft Windows Publisher").
bool SignedByWindows(const ProgramFacts* facts);
