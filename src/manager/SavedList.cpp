#include "manager/SavedList.h"

#include <algorithm>
#include <unordered_map>

#include "common/Csv.h"

namespace {

const std::vector<std::wstring> kFirstHeader = {L"Location",    L"Name",           L"Command",
                                                L"State",       L"Missing",        L"Publisher",
                                                L"Description", L"Verified signer", L"SHA-256"};
const std::vector<std::wstring> kSecondHeader = {
    L"Location",    L"Name",           L"Command", L"State",   L"Missing", L"Publisher",
    L"Description", L"Verified signer", L"Program", L"SHA-256", L"Format"};
const wchar_t kSecondFormat[] = L"velmora-list 2";

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// A text as a message quotes it: short, on one line.
std::wstring Quoted(const std::wstring& text) {
  std::wstring shown = text.substr(0, 60);
  for (wchar_t& c : shown)
    if (c < L' ') c = L' ';
  return L"'" + shown + (text.size() > 60 ? L"...'" : L"'");
}

}  // namespace

SavedList ReadSavedList(const std::string& bytes, const std::wstring& fileName,
                        const std::function<bool(const std::wstring& location)>& knownPlace, FoldName fold) {
  SavedList list;
  const auto leftOut = [&](size_t line, const std::wstring& why) {
    list.problems.push_back(L"Line " + std::to_wstring(line) + L" of '" + fileName + L"' is left out: " + why);
  };
  const std::vector<CsvRead> records = ReadCsv(bytes, kLongestSavedField);
  const bool second = !records.empty() && records.front().fields == kSecondHeader;
  if (records.empty() || (!second && records.front().fields != kFirstHeader)) {
    list.problems.push_back(L"Line 1 of '" + fileName + L"' is not the header of a saved list: " +
                            (records.empty() ? L"the file is empty" : L"it reads " + Quoted(
                                records.front().fields.empty() ? L"" : records.front().fields.front())));
    return list;
  }
  const size_t width = second ? kSecondHeader.size() : kFirstHeader.size();
  std::unordered_map<std::wstring, size_t> seen;  // identity, line
  for (size_t at = 1; at < records.size(); ++at) {
    const CsvRead& record = records[at];
    if (!record.problem.empty()) {
      leftOut(record.line, Wide(record.problem));
      continue;
    }
    if (record.fields.size() == 1 && record.fields.front().empty()) continue;  // an empty line
    if (record.fields.size() != width) {
      leftOut(record.line, L"it has " + std::to_wstring(record.fields.size()) + L" fields, a row of this list has " +
                               std::to_wstring(width));
      continue;
    }
    // The second format writes a formula-like field after an apostrophe;
    // the first wrote every field as it was.
    std::vector<std::wstring> fields = record.fields;
    if (second)
      for (std::wstring& field : fields) field = FromSpreadsheetText(field);
    if (second && fields[10] != kSecondFormat) {
      leftOut(record.line, L"its format is " + Quoted(fields[10]) + L", not " + kSecondFormat);
      continue;
    }
    SavedEntry entry;
    entry.line = record.line;
    entry.location = fields[0];
    entry.name = second ? NameOfList(fields[1]) : fields[1];
    entry.command = fields[2];
    entry.state = fields[3];
    entry.program = second ? fields[8] : std::wstring();
    entry.sha256 = second ? fields[9] : fields[8];
    if (!knownPlace(entry.location)) {
      leftOut(record.line, L"the place " + Quoted(entry.location) + L" is not one this manager lists");
      continue;
    }
    const auto first = seen.emplace(entry.location + L'\n' + fold(entry.name), record.line);
    if (!first.second) {
      leftOut(record.line, L"it repeats the entry of line " + std::to_wstring(first.first->second));
      continue;
    }
    list.entries.push_back(std::move(entry));
  }
  return list;
}

namespace {

bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Where a path's folder ends: the text ends, or a separator follows.
bool EndsFolder(const std::wstring& text, size_t at) {
  return at >= text.size() || text[at] == L'\\' || text[at] == L'"' || text[at] == L' ' || text[at] == L',' ||
         text[at] == L';';
}

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

bool AsciiSameAt(const std::wstring& text, size_t at, const std::wstring& part) {
  if (at + part.size() > text.size()) return false;
  for (size_t i = 0; i < part.size(); ++i)
    if (AsciiUpper(text[at + i]) != AsciiUpper(part[i])) return false;
  return true;
}

// Every `part` (ASCII, any case) that ends a folder, spelled `as`.
void Respell(std::wstring& text, const std::wstring& part, const std::wstring& as, bool driveFirst) {
  for (size_t at = 0; at < text.size(); ++at) {
    size_t start = at;
    if (driveFirst) {
      if (!IsLetter(text[at]) || at + 1 >= text.size() || text[at + 1] != L':') continue;
      start = at + 2;
    }
    if (!AsciiSameAt(text, start, part) || !EndsFolder(text, start + part.size())) continue;
    text.replace(at, start + part.size() - at, as);
    at += as.size() - 1;
  }
}

// "X:\Users\<anyone>" and "X:\Documents and Settings\<anyone>", not the
// shared profiles.
void RespellProfiles(std::wstring& text) {
  for (const wchar_t* root : {L":\\Users\\", L":\\Documents and Settings\\"}) {
    const std::wstring part = root;
    for (size_t at = 0; at + 1 < text.size(); ++at) {
      if (!IsLetter(text[at]) || !AsciiSameAt(text, at + 1, part)) continue;
      const size_t name = at + 1 + part.size();
      const size_t end = text.find(L'\\', name);
      if (end == std::wstring::npos || end == name) continue;
      const std::wstring who = text.substr(name, end - name);
      if (who.find(L'"') != std::wstring::npos) continue;
      bool shared = false;
      for (const wchar_t* common : {L"Public", L"Default", L"All Users", L"Default User"})
        shared = shared || (who.size() == std::wstring(common).size() && AsciiSameAt(who, 0, common));
      if (shared) continue;
      text.replace(at, end - at, L"%USERPROFILE%");
    }
  }
}

}  // namespace

std::wstring NeutralPaths(const std::wstring& text, const std::vector<FolderName>& folders, FoldName fold) {
  std::wstring out = text;
  std::vector<const FolderName*> longestFirst;
  for (const FolderName& folder : folders)
    if (!folder.folder.empty()) longestFirst.push_back(&folder);
  std::stable_sort(longestFirst.begin(), longestFirst.end(),
                   [](const FolderName* a, const FolderName* b) { return a->folder.size() > b->folder.size(); });
  std::wstring folded = longestFirst.empty() ? std::wstring() : fold(out);
  for (const FolderName* folder : longestFirst) {
    const std::wstring wanted = folder->folded.empty() ? fold(folder->folder) : folder->folded;
    if (folded.size() != out.size()) break;  // a fold that changes lengths finds no place in the text
    for (size_t at = folded.find(wanted); at != std::wstring::npos; at = folded.find(wanted, at + 1)) {
      if (!EndsFolder(out, at + wanted.size())) continue;
      out.replace(at, wanted.size(), folder->variable);
      folded.replace(at, wanted.size(), folder->variable);
    }
  }
  RespellProfiles(out);
  Respell(out, L"%USERPROFILE%\\AppData\\Roaming", L"%APPDATA%", false);
  Respell(out, L"%USERPROFILE%\\AppData\\Local", L"%LOCALAPPDATA%", false);
  Respell(out, L"%USERPROFILE%\\Application Data", L"%APPDATA%", false);
  Respell(out, L"%USERPROFILE%\\Local Settings\\Application Data", L"%LOCALAPPDATA%", false);
  Respell(out, L"\\Program Files (x86)", L"%ProgramFiles(x86)%", true);
  Respell(out, L"\\Program Files", L"%ProgramFiles%", true);
  // The variables as a command may spell them.
  for (const wchar_t* variable : {L"%USERPROFILE%", L"%APPDATA%", L"%LOCALAPPDATA%", L"%ProgramFiles%",
                                  L"%ProgramFiles(x86)%", L"%ProgramW6432%"})
    Respell(out, variable, variable, false);
  Respell(out, L"%ProgramW6432%", L"%ProgramFiles%", false);
  return out;
}

NeutralEntry NeutralOf(const SavedEntry& saved, const std::vector<FolderName>& folders, FoldName fold) {
  return {NeutralPaths(saved.command, folders, fold), fold(NeutralPaths(saved.program, folders, fold))};
}

ComparedMark MarkAgainst(const SavedEntry& saved, const EntryNow& now, const std::vector<FolderName>& folders,
                         FoldName fold) {
  return MarkAgainst(saved, NeutralOf(saved, folders, fold), now, folders, fold);
}

ComparedMark MarkAgainst(const SavedEntry& saved, const NeutralEntry& neutral, const EntryNow& now,
                         const std::vector<FolderName>& folders, FoldName fold) {
  // The same text needs no folders put back.
  if (saved.command != now.command && neutral.command != NeutralPaths(now.command, folders, fold))
    return ComparedMark::CommandChanged;
  const std::wstring& savedProgram = neutral.program;
  const std::wstring nowProgram = now.program.empty() ? std::wstring() : fold(NeutralPaths(now.program, folders, fold));
  if (!savedProgram.empty() && !nowProgram.empty() && savedProgram != nowProgram) return ComparedMark::CommandChanged;
  if (!saved.sha256.empty() && !now.sha256.empty() && saved.sha256 != now.sha256 &&
      (savedProgram.empty() || savedProgram == nowProgram))
    return ComparedMark::ProgramChanged;
  const auto onOrOff = [](const std::wstring& state) { return state == L"on" || state == L"off"; };
  if (now.hasSwitch && onOrOff(saved.state) && onOrOff(now.state) && saved.state != now.state)
    return now.state == L"on" ? ComparedMark::SwitchedOn : ComparedMark::SwitchedOff;
  return ComparedMark::None;
}
