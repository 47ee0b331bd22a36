#include "common/ProgramPresence.h"

#include <vector>

namespace {

enum class PathForm { Full, Bare, Relative };

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

PathForm FormOf(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && IsSlash(path[2])) return PathForm::Full;
  if (path.size() >= 2 && IsSlash(path[0]) && IsSlash(path[1])) return PathForm::Full;
  if (path.find_first_of(L"\\/:") == std::wstring::npos) return PathForm::Bare;
  return PathForm::Relative;  // "bin\app.exe", "C:app.exe", "\app.exe": relative to a folder we cannot know
}

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool EqualsAsciiNoCase(const std::wstring& text, size_t from, const wchar_t* expected) {
  size_t at = from;
  for (; *expected; ++expected, ++at)
    if (at >= text.size() || AsciiLower(text[at]) != *expected) return false;
  return at == text.size();
}

bool EndsWithAsciiNoCase(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && EqualsAsciiNoCase(text, text.size() - tail.size(), tail.c_str());
}

// CreateProcess splits an unquoted line at spaces and tabs alike.
const wchar_t* const kBlanks = L" \t";
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring Trimmed(const std::wstring& text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::wstring::npos) return std::wstring();
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

struct Reading {
  std::wstring program;
  std::wstring arguments;
  bool wholeLine = false;  // the only reading that may name a folder
};

std::vector<Reading> ReadingsOf(const std::wstring& line) {
  const std::wstring text = Trimmed(line);
  std::vector<Reading> readings;
  if (text.empty()) return readings;
  if (text[0] == L'"') {
    const size_t close = text.find(L'"', 1);
    if (close == std::wstring::npos)
      readings.push_back({text.substr(1), std::wstring(), true});
    else
      readings.push_back({text.substr(1, close - 1), Trimmed(text.substr(close + 1)), close + 1 == text.size()});
    return readings;
  }
  for (size_t blank = text.find_first_of(kBlanks); blank != std::wstring::npos;
       blank = text.find_first_of(kBlanks, blank + 1))
    if (!IsBlank(text[blank - 1])) readings.push_back({text.substr(0, blank), Trimmed(text.substr(blank + 1))});
  readings.push_back({text, std::wstring(), true});
  return readings;
}

// A file as CreateProcess (".exe") or LoadLibrary (".dll") finds it: as
// named, or with the extension added; a folder only where it may stand.
// `where` gets the file found.
ProgramPresence PresenceOfFile(const std::wstring& path, const std::wstring& extension, const ProgramProbe& probe,
                               bool folderCounts, std::wstring& where) {
  const std::wstring extended = EndsWithAsciiNoCase(path, extension) ? std::wstring() : path + extension;
  const auto found = [&](const std::wstring& candidate) {
    const PathKind kind = probe.kindOf(candidate);
    if (kind != PathKind::File && !(folderCounts && kind == PathKind::Folder)) return false;
    where = candidate;
    return true;
  };
  const auto foundByName = [&](const std::wstring& name) { return probe.foundByName(name, where); };
  switch (FormOf(path)) {
    case PathForm::Full:
      return found(path) || (!extended.empty() && found(extended)) ? ProgramPresence::Found : ProgramPresence::Missing;
    case PathForm::Bare:
      return foundByName(path) || (!extended.empty() && foundByName(extended)) ? ProgramPresence::Found
                                                                              : ProgramPresence::Unknown;
    case PathForm::Relative:
      break;
  }
  return ProgramPresence::Unknown;
}

// Found as soon as one reading is found (`found` then points at it);
// missing only when every reading is missing.
template <class Check>
ProgramPresence FirstFound(const std::vector<Reading>& readings, Check check, const Reading** found = nullptr) {
  if (readings.empty()) return ProgramPresence::Unknown;
  bool unknown = false;
  for (const Reading& reading : readings) {
    const ProgramPresence presence = check(reading);
    if (presence == ProgramPresence::Found) {
      if (found) *found = &reading;
      return presence;
    }
    unknown = unknown || presence == ProgramPresence::Unknown;
  }
  return unknown ? ProgramPresence::Unknown : ProgramPresence::Missing;
}

bool IsRundll32(const std::wstring& program) {
  const size_t slash = program.find_last_of(L"\\/");
  const size_t name = slash == std::wstring::npos ? 0 : slash + 1;
  return EqualsAsciiNoCase(program, name, L"rundll32") || EqualsAsciiNoCase(program, name, L"rundll32.exe");
}

// "library,entry arguments" or "\"library\",entry arguments".
ProgramPresence PresenceOfLibrary(const std::wstring& arguments, const ProgramProbe& probe, std::wstring& where) {
  const std::wstring text = Trimmed(arguments);
  const std::wstring library = !text.empty() && text[0] == L'"' ? text : text.substr(0, text.find(L','));
  return FirstFound(ReadingsOf(library), [&](const Reading& reading) {
    return PresenceOfFile(reading.program, L".dll", probe, false, where);
  });
}

// The file found goes to the caller only with a finding.
ProgramPresence Reported(ProgramPresence presence, const std::wstring& where, std::wstring* program) {
  if (program) *program = presence == ProgramPresence::Found ? where : std::wstring();
  return presence;
}

}  // namespace

// Windows starts the first reading that names a program; rundll32 (in the
// system folder of every Windows) then loads the library it is given.
ProgramPresence PresenceOfCommand(const std::wstring& commandLine, const ProgramProbe& probe, std::wstring* program) {
  std::wstring where;
  const std::vector<Reading> readings = ReadingsOf(commandLine);
  const Reading* started = nullptr;
  ProgramPresence presence = FirstFound(
      readings,
      [&](const Reading& reading) {
        return IsRundll32(reading.program) && FormOf(reading.program) == PathForm::Bare
                   ? ProgramPresence::Found
                   : PresenceOfFile(reading.program, L".exe", probe, reading.wholeLine, where);
      },
      &started);
  if (started && IsRundll32(started->program)) {
    where.clear();
    presence = PresenceOfLibrary(started->arguments, probe, where);
  }
  return Reported(presence, where, program);
}

ProgramPresence PresenceOfPath(const std::wstring& path, const ProgramProbe& probe, std::wstring* program) {
  std::wstring where;
  const std::wstring text = Trimmed(path);
  const ProgramPresence presence =
      text.empty() ? ProgramPresence::Unknown : PresenceOfFile(text, L".exe", probe, true, where);
  return Reported(presence, where, program);
}

std::wstring ExpandVariables(const std::wstring& text,
                             const std::function<bool(const std::wstring& name, std::wstring& value)>& lookup) {
  std::wstring expanded;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find(L'%', at);
    const size_t close = open == std::wstring::npos ? open : text.find(L'%', open + 1);
    if (close == std::wstring::npos) {
      expanded.append(text, at, std::wstring::npos);
      break;
    }
    expanded.append(text, at, open - at);
    std::wstring value;
    if (close > open + 1 && lookup(text.substr(open + 1, close - open - 1), value)) {
      expanded += value;
      at = close + 1;
    } else {
      // Not a name: its closing sign may open the next one.
      expanded.append(text, open, close - open);
      at = close;
    }
  }
  return expanded;
}
