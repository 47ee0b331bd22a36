#include "manager/RecordIndex.h"

namespace {

const std::uint8_t kMagic[4] = {'V', 'L', 'M', 'R'};
const wchar_t kCommentTag[] = L"; Velmora record ";
constexpr std::uint8_t kVersion = 1;
// Far beyond any registry name or value; a length past it is corruption.
constexpr std::uint32_t kMostBytes = 64u << 20;

class Writer {
 public:
  void Byte(std::uint8_t value) { bytes_.push_back(value); }
  void Number(std::uint64_t value, int size) {
    for (int at = 0; at < size; ++at) Byte(static_cast<std::uint8_t>(value >> (8 * at)));
  }
  void Text(const std::wstring& text) {
    Number(text.size(), 4);
    for (const wchar_t c : text) Number(static_cast<std::uint16_t>(c), 2);
  }
  void Stored(const StoredBytes& stored) {
    Byte(stored.present ? 1 : 0);
    Number(stored.type, 4);
    Number(stored.data.size(), 4);
    bytes_.insert(bytes_.end(), stored.data.begin(), stored.data.end());
  }
  std::vector<std::uint8_t> bytes_;
};

class Reader {
 public:
  Reader(const std::uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
  bool Byte(std::uint8_t& value) {
    if (at_ >= size_) return false;
    value = bytes_[at_++];
    return true;
  }
  bool Number(std::uint64_t& value, int size) {
    if (size_ - at_ < static_cast<size_t>(size) || at_ > size_) return false;
    value = 0;
    for (int at = 0; at < size; ++at) value |= static_cast<std::uint64_t>(bytes_[at_ + at]) << (8 * at);
    at_ += static_cast<size_t>(size);
    return true;
  }
  bool Text(std::wstring& text) {
    std::uint64_t length = 0;
    if (!Number(length, 4) || length > kMostBytes / 2 || (size_ - at_) / 2 < length) return false;
    text.resize(static_cast<size_t>(length));
    for (wchar_t& c : text) {
      std::uint64_t unit = 0;
      Number(unit, 2);
      c = static_cast<wchar_t>(unit);
    }
    return true;
  }
  bool Stored(StoredBytes& stored) {
    std::uint8_t present = 0;
    std::uint64_t type = 0, length = 0;
    if (!Byte(present) || present > 1 || !Number(type, 4) || !Number(length, 4) || length > kMostBytes ||
        size_ - at_ < length)
      return false;
    stored.present = present == 1;
    stored.type = static_cast<std::uint32_t>(type);
    stored.data.assign(bytes_ + at_, bytes_ + at_ + length);
    at_ += static_cast<size_t>(length);
    return true;
  }
  bool AtEnd() const { return at_ == size_; }

 private:
  const std::uint8_t* bytes_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace

bool EntryRecord::operator==(const EntryRecord& other) const {
  return kind == other.kind && isFile == other.isFile && time == other.time && location == other.location &&
         name == other.name && switchLocation == other.switchLocation && value == other.value &&
         switchValue == other.switchValue;
}

std::vector<std::uint8_t> EncodeRecord(const EntryRecord& record) {
  Writer out;
  for (const std::uint8_t byte : kMagic) out.Byte(byte);
  out.Byte(kVersion);
  out.Byte(static_cast<std::uint8_t>(record.kind));
  out.Byte(record.isFile ? 1 : 0);
  out.Number(record.time, 8);
  out.Text(record.location);
  out.Text(record.name);
  out.Text(record.switchLocation);
  out.Stored(record.value);
  out.Stored(record.switchValue);
  return out.bytes_;
}

bool DecodeRecord(const std::uint8_t* bytes, size_t size, EntryRecord& record) {
  Reader in(bytes, size);
  for (const std::uint8_t expected : kMagic) {
    std::uint8_t byte = 0;
    if (!in.Byte(byte) || byte != expected) return false;
  }
  std::uint8_t version = 0, kind = 0, isFile = 0;
  std::uint64_t time = 0;
  if (!in.Byte(version) || version != kVersion || !in.Byte(kind) || kind > 3 || !in.Byte(isFile) || isFile > 1 ||
      !in.Number(time, 8))
    return false;
  record.kind = static_cast<RecordKind>(kind);
  record.isFile = isFile == 1;
  record.time = time;
  return in.Text(record.location) && in.Text(record.name) && in.Text(record.switchLocation) &&
         in.Stored(record.value) && in.Stored(record.switchValue) && in.AtEnd();
}

std::vector<std::uint8_t> EncodeSummary(const RecordSummary& summary) {
  Writer fields;
  fields.Text(summary.record);
  fields.Byte(static_cast<std::uint8_t>(summary.kind));
  fields.Byte(summary.isFile ? 1 : 0);
  fields.Text(summary.name);
  fields.Text(summary.origin);
  fields.Text(summary.shown);
  Writer out;
  out.Number(fields.bytes_.size(), 4);
  out.bytes_.insert(out.bytes_.end(), fields.bytes_.begin(), fields.bytes_.end());
  return out.bytes_;
}

std::vector<RecordSummary> DecodeSummaries(const std::uint8_t* bytes, size_t size, bool* whole) {
  std::vector<RecordSummary> summaries;
  size_t at = 0;
  while (size - at >= 4) {
    const size_t length = static_cast<size_t>(bytes[at]) | (static_cast<size_t>(bytes[at + 1]) << 8) |
                          (static_cast<size_t>(bytes[at + 2]) << 16) | (static_cast<size_t>(bytes[at + 3]) << 24);
    if (length > size - at - 4) break;
    Reader in(bytes + at + 4, length);
    RecordSummary summary;
    std::uint8_t kind = 0, isFile = 0;
    if (!in.Text(summary.record) || !in.Byte(kind) || kind > 3 || !in.Byte(isFile) || isFile > 1 ||
        !in.Text(summary.name) || !in.Text(summary.origin) || !in.Text(summary.shown) || !in.AtEnd())
      break;
    summary.kind = static_cast<RecordKind>(kind);
    summary.isFile = isFile == 1;
    summaries.push_back(std::move(summary));
    at += 4 + length;
  }
  if (whole) *whole = at == size;
  return summaries;
}

std::wstring RecordCommentLine(const EntryRecord& record) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring line = kCommentTag;
  for (const std::uint8_t byte : EncodeRecord(record)) {
    line += kDigits[byte >> 4];
    line += kDigits[byte & 15];
  }
  return line + L"\r\n";
}

bool RecordFromText(const std::wstring& text, EntryRecord& record) {
  const size_t tag = text.rfind(kCommentTag);
  if (tag == std::wstring::npos || (tag > 0 && text[tag - 1] != L'\n')) return false;
  const size_t first = tag + (sizeof kCommentTag / sizeof kCommentTag[0]) - 1;
  const size_t end = text.find_first_of(L"\r\n", first);
  const size_t digits = (end == std::wstring::npos ? text.size() : end) - first;
  if (digits % 2 != 0) return false;
  std::vector<std::uint8_t> bytes(digits / 2);
  const auto value = [](wchar_t c) {
    return c >= L'0' && c <= L'9' ? c - L'0' : c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
  };
  for (size_t at = 0; at < bytes.size(); ++at) {
    const int high = value(text[first + 2 * at]), low = value(text[first + 2 * at + 1]);
    if (high < 0 || low < 0) return false;
    bytes[at] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return DecodeRecord(bytes.data(), bytes.size(), record);
}

namespace {
const std::uint8_t kLookMagic[4] = {'V', 'L', 'M', 'L'};
}  // namespace

std::vector<std::uint8_t> EncodeLastLook(const LastLook& look) {
  Writer out;
  for (const std::uint8_t byte : kLookMagic) out.Byte(byte);
  out.Byte(kVersion);
  out.Number(look.size(), 4);
  for (const auto& [location, entries] : look) {
    out.Text(location);
    out.Number(entries.size(), 4);
    for (const LookedEntry& entry : entries) {
      out.Text(entry.name);
      out.Text(entry.command);
      out.Number(entry.stamp, 8);
      out.Byte(static_cast<std::uint8_t>((entry.file ? 1 : 0) | (entry.off ? 2 : 0)));
    }
  }
  return out.bytes_;
}

bool DecodeLastLook(const std::uint8_t* bytes, size_t size, LastLook& look) {
  Reader in(bytes, size);
  std::uint8_t byte = 0;
  for (const std::uint8_t expected : kLookMagic)
    if (!in.Byte(byte) || byte != expected) return false;
  std::uint64_t locations = 0;
  if (!in.Byte(byte) || byte != kVersion || !in.Number(locations, 4)) return false;
  LastLook read;
  for (std::uint64_t at = 0; at < locations; ++at) {
    std::wstring location;
    std::uint64_t count = 0;
    // Written in the map's order, each location once: anything else would
    // not be written back the same.
    if (!in.Text(location) || !in.Number(count, 4)) return false;
    if (!read.empty() && !(read.rbegin()->first < location)) return false;
    std::vector<LookedEntry>& entries = read[location];
    for (std::uint64_t index = 0; index < count; ++index) {
      LookedEntry entry;
      if (!in.Text(entry.name) || !in.Text(entry.command) || !in.Number(entry.stamp, 8) || !in.Byte(byte) || byte > 3)
        return false;
      entry.file = (byte & 1) != 0;
      entry.off = (byte & 2) != 0;
      entries.push_back(std::move(entry));
    }
  }
  if (!in.AtEnd()) return false;
  look = std::move(read);
  return true;
}

LastLookIndex::LastLookIndex(LastLook look) : look_(std::move(look)) {
  for (const auto& [location, entries] : look_) {
    auto& names = byName_[location];
    for (const LookedEntry& entry : entries) names.emplace(entry.name, &entry);
  }
}

EntryMark LastLookIndex::MarkOf(const std::wstring& location, const std::wstring& name, const std::wstring& command,
                                std::uint64_t stamp, bool file, bool off) const {
  const auto shown = byName_.find(location);
  if (shown == byName_.end()) return EntryMark::None;
  const auto before = shown->second.find(name);
  if (before == shown->second.end()) return EntryMark::New;
  const LookedEntry& was = *before->second;
  if (file ? was.stamp != stamp : was.command != command) return EntryMark::Changed;
  if (was.off && !off) return EntryMark::OnAgain;
  return EntryMark::None;
}
