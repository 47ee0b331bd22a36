#include "common/Csv.h"

std::string Utf8Of(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size(); ++at) {
    unsigned long code = static_cast<unsigned short>(text[at]);
    if (code >= 0xD800 && code <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<unsigned short>(text[++at]) - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

std::string CsvField(const std::wstring& text) {
  const std::string utf8 = Utf8Of(text);
  const bool quoted = utf8.find_first_of(",\"\r\n") != std::string::npos ||
                      (!utf8.empty() && (utf8.front() == ' ' || utf8.back() == ' '));
  if (!quoted) return utf8;
  std::string field = "\"";
  for (char c : utf8) {
    if (c == '"') field += '"';
    field += c;
  }
  return field + '"';
}

std::string CsvRecord(const std::vector<std::wstring>& fields) {
  std::string record;
  for (size_t at = 0; at < fields.size(); ++at) {
    if (at) record += ',';
    record += CsvField(fields[at]);
  }
  return record + "\r\n";
}

std::wstring ListName(const std::wstring& name) {
  std::wstring written;
  written.reserve(name.size());
  for (const wchar_t c : name) {
    switch (c) {
      case L'\0': written += L"%00"; break;
      case L'\r': written += L"%0D"; break;
      case L'\n': written += L"%0A"; break;
      case L'%': written += L"%25"; break;
      default: written += c;
    }
  }
  return written;
}

// Only the four escapes ListName writes are undone; any other "%" stays
// as written (a list of the first format, a name typed by hand).
std::wstring NameOfList(const std::wstring& written) {
  std::wstring name;
  name.reserve(written.size());
  for (size_t at = 0; at < written.size(); ++at) {
    const std::wstring next = written.substr(at, 3);
    const wchar_t c = next == L"%00" ? L'\0' : next == L"%0D" ? L'\r' : next == L"%0A" ? L'\n' : next == L"%25" ? L'%' : 0;
    if (next.size() == 3 && next[0] == L'%' && (c != 0 || next == L"%00")) {
      name += c;
      at += 2;
    } else {
      name += written[at];
    }
  }
  return name;
}

std::wstring AsSpreadsheetText(const std::wstring& field) {
  if (field.empty()) return field;
  const wchar_t first = field.front();
  const bool formula = first == L'=' || first == L'+' || first == L'-' || first == L'@' || first == L'\t' ||
                       first == L'\r' || first == L'\'';
  return formula ? L"'" + field : field;
}

std::wstring FromSpreadsheetText(const std::wstring& written) {
  return !written.empty() && written.front() == L'\'' ? written.substr(1) : written;
}
