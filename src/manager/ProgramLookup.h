#pragma once
// Looks up the programs entries start, as Windows will at logon: with
// environment variables in their 64-bit meanings, through the file-system
// redirector (the native System32, not SysWOW64), and bare names where
// Windows searches them. One lookup serves one listing: it reads the
// search folders once.
#include <windows.h>

#include <string>
#include <vector>

#include "common/ProgramPresence.h"

class ProgramLookup {
 public:
  ProgramLookup();
  ProgramLookup(const ProgramLookup&) = delete;
  ProgramLookup& operator=(const ProgramLookup&) = delete;

  // A Run value's command line (either string type: both are expanded).
  ProgramPresence OfCommand(const std::wstring& commandLine) const;
  // A shortcut: missing when it could not be read or its target is gone.
  ProgramPresence OfShortcut(bool readable, const std::wstring& target) const;

 private:
  std::wstring Expanded(const std::wstring& text) const;
  PathKind KindOf(const std::wstring& path) const;
  bool FoundByName(const std::wstring& name) const;

  std::vector<std::wstring> searchFolders_;  // system, Windows, then PATH
  bool wow64_;
  ProgramProbe probe_;
};

// Turns the file-system redirector of a 32-bit program on 64-bit Windows
// off for one scope. Nothing may load a library meanwhile: it would load
// the 64-bit one.
class FileSystemRedirectionOff {
 public:
  FileSystemRedirectionOff() : off_(Wow64DisableWow64FsRedirection(&previous_) != FALSE) {}
  ~FileSystemRedirectionOff() {
    if (off_) Wow64RevertWow64FsRedirection(previous_);
  }
  FileSystemRedirectionOff(const FileSystemRedirectionOff&) = delete;
  FileSystemRedirectionOff& operator=(const FileSystemRedirectionOff&) = delete;

 private:
  PVOID previous_ = nullptr;
  bool off_;
};
