#include "manager/RecordStore.h"

#include <algorithm>
#include <cwchar>
#include <unordered_map>
#include <vector>

#include "common/Errors.h"
#include "common/FileTools.h"
#include "common/Registry.h"
#include "manager/Entry.h"
#include "manager/RegFile.h"

// After ours: the shell's headers declare a class "Folder".
#include <shlobj.h>

namespace {

const wchar_t kRegFileName[] = L"entry.reg";
// Beside the records, not one of them: its name is no time.
const wchar_t kIndexName[] = L"index.bin";
const wchar_t kFileFolder[] = L"file";
const wchar_t kHexDigits[] = L"0123456789abcdef";

// How many records there are, counted once a run and kept up to date: a
// command does not look through the folder.
long knownRecords = -1;
// The name of the newest record kept: the next is named after it, so
// that the names' order is the order records were kept even when the
// clock is set back.
std::uint64_t newestKept = 0;

std::wstring HexTime(std::uint64_t time) {
  std::wstring name(16, L'0');
  for (int at = 15; at >= 0; --at, time >>= 4) name[static_cast<size_t>(at)] = kHexDigits[time & 15];
  return name;
}

std::uint64_t Now() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The records, oldest first (their names begin with the times).
std::vector<std::wstring> RecordNames() {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW((RecordFolder() + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if ((folder ? name.size() == 16 : name.size() == 20 && name.compare(16, 4, L".reg") == 0) &&
        name.find_first_not_of(kHexDigits) >= 16)
      names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::uint8_t> RecordFileBytes(const EntryRecord& record) {
  std::vector<RegFileValue> values;
  // A task's record keeps its definition beside: nothing of it is a value.
  const bool task = Location::Parse(record.location).IsTasks();
  if (record.value.present && !task)
    values.push_back({record.location, record.name, record.value.type, record.value.data});
  if (record.switchValue.present && !task)
    values.push_back({record.switchLocation, record.name, record.switchValue.type, record.switchValue.data});
  return RegFileBytes(RegFileText(values) + RecordCommentLine(record));
}

std::wstring RecordFile(const std::wstring& record) {
  return IsDirectory(record) ? record + L"\\" + kRegFileName : record;
}

RecordSummary SummaryOf(const std::wstring& recordName, const EntryRecord& record) {
  RecordSummary summary{recordName, record.kind, record.isFile, record.name, record.location, std::wstring()};
  if (record.isFile && !record.value.present)
    summary.shown = AppendPathDelimiter(record.location) + record.name;
  else if (record.value.type == REG_SZ || record.value.type == REG_EXPAND_SZ)
    summary.shown = WideStringFromRegData(record.value.data.data(), static_cast<DWORD>(record.value.data.size()));
  return summary;
}

// The index is a cache of the records: appended to without a flush, read
// whole, and put right from the records whenever it disagrees with them
// (written whole beside the old one then, which stays if that fails).
void AppendToIndex(const std::vector<RecordSummary>& summaries, bool replace = false) {
  const std::wstring path = RecordFolder() + L"\\" + kIndexName;
  std::vector<std::uint8_t> bytes;
  for (const RecordSummary& summary : summaries) {
    const std::vector<std::uint8_t> one = EncodeSummary(summary);
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  if (replace) {
    WriteWholeFile(path, bytes, true);
    return;
  }
  const HANDLE file =
      CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::vector<RecordSummary> ReadIndex(bool& whole) {
  std::vector<std::uint8_t> bytes;
  ReadWholeFile(RecordFolder() + L"\\" + kIndexName, bytes);
  return DecodeSummaries(bytes.data(), bytes.size(), &whole);
}

std::uint64_t TimeOfName(const std::wstring& name) {
  std::uint64_t time = 0;
  for (size_t at = 0; at < 16 && at < name.size(); ++at)
    time = time * 16 + static_cast<std::uint64_t>(std::wcschr(kHexDigits, name[at]) - kHexDigits);
  return time;
}

void CountRecords() {
  if (knownRecords >= 0) return;
  const std::vector<std::wstring> names = RecordNames();
  knownRecords = static_cast<long>(names.size());
  if (!names.empty()) newestKept = std::max(newestKept, TimeOfName(names.back()));
}

}  // namespace

// Asked of the shell once a run: it reads the registry each time.
std::wstring RecordFolder() {
  static const std::wstring folder = [] {
    wchar_t local[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, local)))
      return std::wstring();
    return std::wstring(local) + L"\\Velmora\\Removed";
  }();
  return folder;
}

std::wstring KeptFilePath(const std::wstring& record, const std::wstring& fileName) {
  return record + L"\\" + kFileFolder + L"\\" + fileName;
}

std::wstring KeepRecord(const EntryRecord& given) {
  EntryRecord record = given;
  record.time = Now();
  const std::wstring root = RecordFolder();
  const auto failed = [&](DWORD code) {
    return EVelmoraError(FormatMessageText("Failed to keep a copy of '%s'", ShownName(record.name)),
                         static_cast<long>(code));
  };
  if (root.empty()) throw failed(ERROR_PATH_NOT_FOUND);
  CreateDirectoryW(root.substr(0, root.rfind(L'\\')).c_str(), nullptr);
  CreateDirectoryW(root.c_str(), nullptr);
  CountRecords();
  const std::vector<std::uint8_t> bytes = RecordFileBytes(record);
  // Named by the time, after the newest record; a name taken (another
  // process keeping at the same moment) takes the next.
  std::wstring kept;
  for (std::uint64_t time = std::max(record.time, newestKept + 1);; ++time) {
    newestKept = time;
    kept = root + L"\\" + HexTime(time);
    DWORD result;
    if (!record.isFile) {
      kept += L".reg";
      result = WriteWholeFile(kept, bytes, false);
    } else {
      result = CreateDirectoryW(kept.c_str(), nullptr) ? ERROR_SUCCESS : GetLastError();
      if (result == ERROR_SUCCESS) {
        result = CreateDirectoryW((kept + L"\\" + kFileFolder).c_str(), nullptr)
                     ? WriteWholeFile(kept + L"\\" + kRegFileName, bytes, false)
                     : GetLastError();
        if (result != ERROR_SUCCESS) {
          DiscardRecord(kept);
          throw failed(result);
        }
      }
    }
    if (result == ERROR_SUCCESS) break;
    if (result != ERROR_ALREADY_EXISTS && result != ERROR_FILE_EXISTS) throw failed(result);
  }
  ++knownRecords;
  AppendToIndex({SummaryOf(kept.substr(root.size() + 1), record)});
  return kept;
}

void RecountRecords() { knownRecords = -1; }

// Removed and replaced entries, which "REMOVED" lists, and the records
// only an opening's undo uses (a switch's bytes, a stale switch an add
// removed) are limited apart: the second kind never pushes out the first.
// The two kinds together may hold more than kMostRecords within their
// limits: the store is looked through again only when it has grown since.
void KeepRecordsWithinLimit() {
  static long lookedThroughAt = static_cast<long>(kMostRecords);
  CountRecords();
  if (knownRecords <= lookedThroughAt) return;
  std::vector<std::wstring> listed, undoOnly;
  for (const RecordSummary& summary : RecordSummaries())
    (summary.kind == RecordKind::Removed || summary.kind == RecordKind::Replaced ? listed : undoOnly)
        .push_back(summary.record);
  for (const auto* records : {&listed, &undoOnly})
    for (size_t at = 0; at + kMostRecords < records->size(); ++at) DiscardRecord((*records)[at]);
  lookedThroughAt = std::max(static_cast<long>(kMostRecords), knownRecords);
}

std::vector<RecordSummary> RecordSummaries() {
  const std::vector<std::wstring> names = RecordNames();
  knownRecords = static_cast<long>(names.size());
  if (!names.empty()) newestKept = std::max(newestKept, TimeOfName(names.back()));
  bool whole = true;
  std::vector<RecordSummary> indexed = ReadIndex(whole);
  std::unordered_map<std::wstring, size_t> at;
  for (size_t index = 0; index < indexed.size(); ++index) at[indexed[index].record] = index;
  std::vector<RecordSummary> summaries, added;
  summaries.reserve(names.size());
  for (const std::wstring& name : names) {
    const auto found = at.find(name);
    if (found != at.end()) {
      summaries.push_back(indexed[found->second]);
    } else {
      EntryRecord record;
      if (!ReadRecord(RecordFolder() + L"\\" + name, record)) continue;
      summaries.push_back(SummaryOf(name, record));
      added.push_back(summaries.back());
    }
  }
  // Records gone since (restored, deleted, beyond the limit) leave the
  // index once they outnumber the ones kept; a damaged index, whose tail
  // is never read, is written again from the records.
  if (!whole || indexed.size() > 2 * summaries.size() + 64)
    AppendToIndex(summaries, true);
  else if (!added.empty())
    AppendToIndex(added);
  for (RecordSummary& summary : summaries) summary.record = RecordFolder() + L"\\" + summary.record;
  return summaries;
}

std::vector<std::wstring> KeptRecords() {
  std::vector<std::wstring> records = RecordNames();
  for (std::wstring& name : records) name = RecordFolder() + L"\\" + name;
  return records;
}

bool ReadRecord(const std::wstring& record, EntryRecord& read) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(RecordFile(record), bytes) || bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE)
    return false;
  std::wstring text;
  for (size_t at = 2; at + 1 < bytes.size(); at += 2) text += static_cast<wchar_t>(bytes[at] | (bytes[at + 1] << 8));
  return RecordFromText(text, read);
}

bool DiscardRecord(const std::wstring& record) {
  bool removed;
  if (!IsDirectory(record)) {
    removed = DeleteFileW(record.c_str()) != FALSE;
  } else {
    bool whole = true;
    const std::wstring files = record + L"\\" + kFileFolder;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((files + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") whole = DeleteFileW(LongPathForm(files + L"\\" + name).c_str()) && whole;
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(files.c_str());
    DeleteFileW((record + L"\\" + kRegFileName).c_str());
    removed = RemoveDirectoryW(record.c_str()) && whole;
  }
  if (removed && knownRecords > 0) --knownRecords;
  return removed;
}

namespace {
// A file of ours beside the records' folder.
std::wstring BesideRecords(const wchar_t* name) {
  const std::wstring records = RecordFolder();
  const size_t cut = records.find_last_of(L'\\');
  return cut == std::wstring::npos ? std::wstring() : records.substr(0, cut) + L"\\" + name;
}

bool ReadBeside(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
  return !path.empty() && ReadWholeFile(path, bytes);
}

// Replaces the file whole, making the folder when it is the first.
bool KeepBeside(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  if (path.empty()) return false;
  CreateDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str(), nullptr);
  return WriteWholeFile(path, bytes, true) == ERROR_SUCCESS;
}
}  // namespace

std::wstring LastLookPath() { return BesideRecords(L"LastLook.bin"); }
std::wstring LayoutPath() { return BesideRecords(L"Layout.txt"); }

bool ReadLayout(WindowLayout& layout) {
  std::vector<std::uint8_t> bytes;
  return ReadBeside(LayoutPath(), bytes) && bytes.size() < 4096 &&
         ParseLayout(std::string(bytes.begin(), bytes.end()), layout);
}

bool KeepLayout(const WindowLayout& layout) {
  const std::string text = FormatLayout(layout);
  return KeepBeside(LayoutPath(), std::vector<std::uint8_t>(text.begin(), text.end()));
}

LastLook ReadLastLook() {
  LastLook look;
  std::vector<std::uint8_t> bytes;
  if (ReadBeside(LastLookPath(), bytes)) DecodeLastLook(bytes.data(), bytes.size(), look);
  return look;
}

bool KeepLastLook(const LastLook& look) { return KeepBeside(LastLookPath(), EncodeLastLook(look)); }
