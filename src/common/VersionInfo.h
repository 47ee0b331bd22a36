#pragma once
// What a program's version resource says of it. These are the file's own
// claims, written by whoever built it: not a verified signature.
#include <string>

#include "common/Signature.h"

struct ProgramFacts {
  std::wstring publisher;    // CompanyName
  std::wstring description;  // FileDescription
  std::wstring program;  // the file they were read from
  // Who signed the program, once verified (off the window's thread).
  bool signatureKnown = false;
  SignatureAnswer signature;
};

// Reads the resource as data (the program is not loaded to run). Each
// text comes from the first block that has it: the block of the first
// language the file lists, then US English and language-neutral in
// Unicode and in Windows Latin-1. Empty texts when there is no resource
// or the file cannot be read.
ProgramFacts ReadProgramFacts(const std::wstring& path);
