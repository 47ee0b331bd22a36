#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/Unicode.h"

// An ANSI text as UTF-16, for comparing with the manager's records.
inline std::wstring W(const std::string& ansi) { return WideFromAnsi(ansi); }
// A record's UTF-16 text through the ANSI code page, for ASCII checks.
inline std::string A(const std::wstring& wide) { return AnsiFromWide(wide); }

// A key below HKEY_CURRENT_USER\Software\VelmoraTests, removed with all its
// contents when the test ends.
class ScratchKey {
 public:
  explicit ScratchKey(const std::string& name, HKEY root = HKEY_CURRENT_USER);
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;

  // Path below the root, without a leading backslash.
  const std::string& Path() const { return path_; }
  HKEY Handle() const { return key_; }
  void SetRaw(const std::string& name, DWORD type, const void* data, DWORD size);
  void SetString(const std::string& name, const std::string& text, DWORD type = REG_SZ);
  void SetDword(const std::string& name, DWORD value);
  bool Has(const std::string& name) const;
  DWORD TypeOf(const std::string& name) const;
  std::vector<BYTE> Raw(const std::string& name) const;
  std::string String(const std::string& name) const;
  std::vector<std::string> Names() const;

 private:
  HKEY root_;
  std::string path_;
  HKEY key_ = nullptr;
};

// A fresh folder under the temp folder, deleted with its contents afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }  // no trailing backslash
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  std::string Write(const std::string& name, const std::string& content = "x") const;
  std::string MakeDir(const std::string& name) const;
  std::vector<std::string> Names() const;

 private:
  std::string path_;
};

void DeleteTreeOnDisk(const std::string& path);
bool PathExists(const std::string& path);
std::string ArtifactPath(const std::string& fileName);

// A task file's text (Triggers, Actions and Settings as given) and its
// bytes in each encoding task files come in.
std::wstring TaskXml(const std::wstring& triggers, const std::wstring& actions, const std::wstring& settings = L"");
enum class TaskForm { Utf16Bom, Utf16, Utf8Bom, Utf8 };
std::vector<std::uint8_t> EncodedTask(const std::wstring& text, TaskForm form);
