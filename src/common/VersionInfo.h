#pragma once
// What a program's version resource says of it. These are the file's own
// claims, written by whoever built it: not a verified signature.
#include <string>
#include <vector>

#include "common/Signature.h"

struct ProgramFacts {
  std::wstring publisher;    // CompanyName
  std::wstring description;  // FileDescription
  std::wstring program;  // the file they were read from
  FileStamp stamp;       // the version of it they belong to
  // Who signed the program, once verified (off the window's thread).
  bool signatureKnown = false;
  SignatureAnswer signature;
  // The file's SHA-256, read with the signature (empty until then, or
  // when it could not be read whole).
  std::wstring sha256;
  // An entry's text that starts several programs: each one's facts in
  // order, null for one that was not found and may still start (a bare
  // name). The texts above are then the first program's.
  std::vector<const ProgramFacts*> parts;
};

// The file's size and last write; zeros when it cannot be asked.
FileStamp FileStampOf(const std::wstring& path);

// Reads the resource as data (the program is not loaded to run). Each
// text comes from the first block that has it: the block of the first
// language the file lists, then US English and language-neutral in
// Unicode and in Windows Latin-1. Empty texts when there is no resource
// or the file cannot be read. The stamp is the file's as the reading began.
ProgramFacts ReadProgramFacts(const std::wstring& path);
