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
