#include "manager/RegFile.h"

namespace {

// The registry's value types, as the format names them.
constexpr std::uint32_t kString = 1, kBinary = 3, kDword = 4;
// The editor wraps hex data before this column; so do we.
constexpr size_t kHexLineWidth = 76;

std::wstring Quoted(const std::wstring& text) {
  std::wstring quoted = L"\"";
  for (const wchar_t c : text) {
    if (c == L'\\' || c == L'"') quoted += L'\\';
    quoted += c;
  }
  return quoted + L"\"";
}

bool HasLineBreakOrNul(const std::wstring& text) { return text.find_first_of(std::wstring(L"\r\n\0", 3)) != std::wstring::npos; }

// The text of REG_SZ data whose quoted form gives back exactly these
// bytes: whole characters, one terminating NUL and no other, no line break.
bool AsQuotedString(const std::vector<std::uint8_t>& data, std::wstring& text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  text.clear();
  for (size_t at = 0; at + 2 < data.size(); at += 2)
    text += static_cast<wchar_t>(data[at] | (data[at + 1] << 8));
  const bool terminated = data[data.size() - 2] == 0 && data[data.size() - 1] == 0;
  return terminated && !HasLineBreakOrNul(text);
}

// The editor writes a type's number in hex: "hex(b):" for REG_QWORD.
std::wstring HexNumber(std::uint32_t number) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  do {
    text.insert(text.begin(), kDigits[number & 15]);
    number >>= 4;
  } while (number);
  return text;
}

void AppendHex(std::wstring& line, const std::wstring& prefix, const std::vector<std::uint8_t>& data,
               std::wstring& out) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  line += prefix;
  for (size_t at = 0; at < data.size(); ++at) {
    line += kDigits[data[at] >> 4];
    line += kDigits[data[at] & 15];
    if (at + 1 == data.size()) break;
    line += L',';
    if (line.size() >= kHexLineWidth) {
      out += line + L"\\\r\n";
      line = L"  ";
    }
  }
}

std::wstring ValueLine(const RegFileValue& value) {
  std::wstring line = value.name.empty() ? std::wstring(L"@") : Quoted(value.name);
  line += L'=';
  std::wstring text, out;
  if (value.type == kString && AsQuotedString(value.data, text)) return line + Quoted(text) + L"\r\n";
  if (value.type == kDword && value.data.size() == 4) {
    const std::uint32_t dword = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                (static_cast<std::uint32_t>(value.data[3]) << 24);
    const std::wstring digits = HexNumber(dword);
    return line + L"dword:" + std::wstring(8 - digits.size(), L'0') + digits + L"\r\n";
  }
  const std::wstring prefix = value.type == kBinary ? std::wstring(L"hex:") : L"hex(" + HexNumber(value.type) + L"):";
  AppendHex(line, prefix, value.data, out);
  return out + line + L"\r\n";
}

}  // namespace

bool RegFileCarriesName(const std::wstring& name) { return !HasLineBreakOrNul(name); }

std::wstring RegFileText(const std::vector<RegFileValue>& values) {
  std::wstring text = L"Windows Registry Editor Version 5.00\r\n";
  std::vector<std::wstring> keys;
  for (const RegFileValue& value : values) {
    bool known = false;
    for (const std::wstring& key : keys) known = known || key == value.key;
    if (!known) keys.push_back(value.key);
  }
  for (const std::wstring& key : keys) {
    text += L"\r\n[" + key + L"]\r\n";
    for (const RegFileValue& value : values)
      if (value.key == key && RegFileCarriesName(value.name)) text += ValueLine(value);
  }
  return text + L"\r\n";
}

std::vector<std::uint8_t> RegFileBytes(const std::wstring& text) {
  std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
  bytes.reserve(2 + text.size() * 2);
  for (const wchar_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
  }
  return bytes;
}
