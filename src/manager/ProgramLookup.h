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
#include "common/Signature.h"
#include "manager/Location.h"

// Critical-error boxes off for the calling thread and one scope: a lookup
// of an empty removable drive fails instead of asking for a disk.
class NoCriticalErrorBoxes {
 public:
  NoCriticalErrorBoxes() { SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_); }
  ~NoCriticalErrorBoxes() { SetThreadErrorMode(previous_, nullptr); }
  NoCriticalErrorBoxes(const NoCriticalErrorBoxes&) = delete;
  NoCriticalErrorBoxes& operator=(const NoCriticalErrorBoxes&) = delete;

 private:
  DWORD previous_ = 0;
};

// Who answers for a network path: the file system, unless a test puts a
// probe of its own in (Wine has no server that is slow to answer).
using NetworkProbe = PathKind (*)(const std::wstring& path);
void SetNetworkProbe(NetworkProbe probe);

class ProgramLookup {
 public:
  // A lookup that defers network paths does not look at them: a server
  // that does not answer holds a file query for tens of seconds. Deferred()
  // then says that the answer was not given.
  explicit ProgramLookup(bool defersNetworkPaths = false);
  ProgramLookup(const ProgramLookup&) = delete;
  ProgramLookup& operator=(const ProgramLookup&) = delete;

  // A Run value's command line (either string type: both are expanded).
  // When found, `program` gets the file Windows starts.
  ProgramPresence OfCommand(const std::wstring& commandLine, std::wstring* program = nullptr) const;
  // An entry's text in its place's form: a list is found when one of its
  // programs is (`program` the first found), missing when none can be.
  // `every` gets each program that may start, in order: the file found,
  // or an empty text for one that cannot be told (a missing one starts
  // nothing and is left out).
  ProgramPresence OfText(const std::wstring& text, ProgramText form, std::wstring* program = nullptr,
                         std::vector<std::wstring>* every = nullptr) const;
  // A shortcut: missing when it could not be read or its target is gone.
  ProgramPresence OfShortcut(bool readable, const std::wstring& target, std::wstring* program = nullptr) const;
  // The size and last write of `path` when it is the file this lookup
  // found last (read in the same query that found it).
  bool StampOfFound(const std::wstring& path, FileStamp& stamp) const;
  // Whether the last answer met a network path it did not look at.
  bool Deferred() const { return deferred_; }
  // A share's path, or a path on a drive mapped to a share (not a device
  // path such as "\\?\C:\").
  bool ReachesNetwork(const std::wstring& path) const;

 private:
  std::wstring Expanded(const std::wstring& text) const;
  PathKind KindOf(const std::wstring& path) const;
  bool FoundByName(const std::wstring& name, std::wstring& where) const;

  std::vector<std::wstring> searchFolders_;  // system, Windows, then PATH

  bool wow64_;
  bool defersNetworkPaths_;
  mutable bool deferred_ = false;
  mutable signed char driveIsRemote_[26] = {};  // 0 not asked yet, 1 remote, -1 local
  mutable std::wstring lastFound_;
  mutable FileStamp lastStamp_;
  ProgramProbe probe_;
};

// A path found with the redirector off, as this process reaches it with
// the redirector on: the native System32 of a 64-bit Windows is Sysnative
// to a 32-bit program.
std::wstring NativeSystemPathHere(const std::wstring& path);
// A text's environment variables expanded with the meanings Windows gives
// them at logon: on 64-bit Windows (`wow64`) %ProgramFiles% and
// %CommonProgramFiles% are the 64-bit programs' folders.
std::wstring ExpandedAsWindows(const std::wstring& text, bool wow64);

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
