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

std::wstring WideOfUtf8(const std::string& bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  const auto byteAt = [&](size_t at) { return static_cast<unsigned char>(bytes[at]); };
  for (size_t at = 0; at < bytes.size();) {
    const unsigned char lead = byteAt(at);
    size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                 : lead >= 0xF0 && lead < 0xF5                                       ? 4
                                                                                                     : 0;
    unsigned long code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool whole = length != 0 && at + length <= bytes.size();
    for (size_t next = 1; whole && next < length; ++next) {
      whole = (byteAt(at + next) & 0xC0) == 0x80;
      code = (code << 6) | (byteAt(at + next) & 0x3F);
    }
    // Overlong forms, surrogates and what lies past U+10FFFF are not UTF-8.
    whole = whole && !(length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) &&
            !(length == 4 && (code < 0x10000 || code > 0x10FFFF));
    if (!whole) {
      out += static_cast<wchar_t>(0xFFFD);
      ++at;
      continue;
    }
    if (code >= 0x10000) {
      out += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(code);
    }
    at += length;
  }
  return out;
}

std::vector<CsvRead> ReadCsv(const std::string& bytes, size_t longestField) {
  std::vector<CsvRead> records;
  size_t at = bytes.compare(0, 3, Utf8ByteOrderMark()) == 0 ? 3 : 0;
  size_t line = 1;
  while (at < bytes.size()) {
    CsvRead record;
    record.line = line;
    bool ended = false;  // by a line break
    for (;;) {
      std::string field;
      bool tooLong = false;
      const auto add = [&](char c) {
        if (field.size() < longestField * 4) field += c;  // at most 4 bytes a character
        else tooLong = true;
      };
      if (at < bytes.size() && bytes[at] == '"') {
        ++at;
        bool closed = false;
        while (at < bytes.size()) {
          const char c = bytes[at++];
          if (c == '"') {
            if (at < bytes.size() && bytes[at] == '"') {
              add('"');
              ++at;
              continue;
            }
            closed = true;
            break;
          }
          if (c == '\n') ++line;
          add(c);
        }
        if (!closed) record.problem = "it is cut short: a quoted field is not closed";
        // What follows a closing quote up to the separator belongs to the field.
        while (closed && at < bytes.size() && bytes[at] != ',' && bytes[at] != '\r' && bytes[at] != '\n') add(bytes[at++]);
      } else {
        while (at < bytes.size() && bytes[at] != ',' && bytes[at] != '\r' && bytes[at] != '\n') add(bytes[at++]);
      }
      std::wstring wide = WideOfUtf8(field);
      if (tooLong || wide.size() > longestField) {
        if (record.problem.empty())
          record.problem = "a field is longer than " + std::to_string(longestField) + " characters";
        wide.clear();
      }
      record.fields.push_back(std::move(wide));
      if (at >= bytes.size()) break;
      if (bytes[at] == ',') {
        ++at;
        continue;
      }
      if (bytes[at] == '\r') ++at;
      if (at < bytes.size() && bytes[at] == '\n') {
        ++at;
        ++line;
        ended = true;
        break;
      }
      // A lone CR ends nothing: it is read into the next field's place.
    }
    if (!ended && record.problem.empty()) record.problem = "it is cut short: the list ends inside it";
    records.push_back(std::move(record));
  }
  return records;
}
