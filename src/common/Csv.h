#pragma once
// Comma-separated values as RFC 4180 writes them, in UTF-8: a field is
// quoted when it holds a comma, a quote, a line break or spaces at either
// end, a quote doubled inside; records end with CR LF. No window, no
// code page: a UTF-16 text that is not whole (a lone surrogate) is written
// with U+FFFD in that place.
#include <string>
#include <vector>

std::string Utf8Of(const std::wstring& text);
std::string CsvField(const std::wstring& text);
std::string CsvRecord(const std::vector<std::wstring>& fields);
// What opens a UTF-8 file that spreadsheet programs read as UTF-8.
inline const char* Utf8ByteOrderMark() { return "\xEF\xBB\xBF"; }

// The saved list's own forms of its fields (format "velmora-list 2"), and
// their readers, which undo them exactly:
// - a name as stored, its NUL, CR and LF characters (which a spreadsheet
//   cannot show, and the list paints as look-alikes) and the percent sign
//   written as %00, %0D, %0A and %25;
// - any field a spreadsheet would run as a formula (it begins with "=",
//   "+", "-", "@", a tab or a CR), or that begins with an apostrophe,
//   written after one apostrophe, which spreadsheets take as "text".
std::wstring ListName(const std::wstring& name);
std::wstring NameOfList(const std::wstring& written);
std::wstring AsSpreadsheetText(const std::wstring& field);
std::wstring FromSpreadsheetText(const std::wstring& written);

// One record read back: the line it begins on, its fields, or why it
// cannot be taken (then its fields are what was read of it).
struct CsvRead {
  size_t line = 0;
  std::vector<std::wstring> fields;
  std::string problem;
};
// Reads RFC 4180 records from UTF-8 (a byte-order mark skipped; CR LF or a
// lone LF ends a record; a broken UTF-8 sequence read as U+FFFD). A field
// longer than `longestField` characters leaves its record with a problem;
// so does a last record without its line break, or with a quoted field
// that is never closed (the file was cut short).
std::vector<CsvRead> ReadCsv(const std::string& bytes, size_t longestField);
std::wstring WideOfUtf8(const std::string& bytes);
