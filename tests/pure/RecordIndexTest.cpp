// The index of a kept entry: exact names and bytes, and nothing read from
// a record that is not whole.
#include <gtest/gtest.h>

#include "manager/RecordIndex.h"

namespace {

EntryRecord Sample() {
  EntryRecord record;
  record.kind = RecordKind::Replaced;
  record.time = 0x01D2C3B4A5968778ULL;
  record.location = L"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
  record.name = std::wstring(L"..\\..\\x:*?\0\u0416\r\n", 13);
  record.switchLocation = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run32";
  record.value = {true, 2, {0x25, 0, 0x41, 0, 0x25, 0, 0, 0}};
  record.switchValue = {true, 3, {3, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}};
  return record;
}

TEST(RecordIndex, RoundTripsEveryFieldExactly) {
  EntryRecord file = Sample();
  file.kind = RecordKind::Removed;
  file.isFile = true;
  file.value = {};
  file.switchValue = {};
  for (const EntryRecord& record : {Sample(), file, EntryRecord()}) {
    const std::vector<std::uint8_t> bytes = EncodeRecord(record);
    EntryRecord read;
    ASSERT_TRUE(DecodeRecord(bytes.data(), bytes.size(), read));
    EXPECT_TRUE(read == record);
  }
}

TEST(RecordIndex, RefusesAnythingNotWhole) {
  const std::vector<std::uint8_t> bytes = EncodeRecord(Sample());
  EntryRecord read;
  for (size_t size = 0; size < bytes.size(); ++size) EXPECT_FALSE(DecodeRecord(bytes.data(), size, read)) << size;
  std::vector<std::uint8_t> longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(DecodeRecord(longer.data(), longer.size(), read));
  const struct {
    size_t at;
    std::uint8_t byte;
  } corruptions[] = {{0, 'X'}, {4, 2}, {5, 4}, {6, 2}};  // magic, version, kind, file flag
  for (const auto& corruption : corruptions) {
    std::vector<std::uint8_t> changed = bytes;
    changed[corruption.at] = corruption.byte;
    EXPECT_FALSE(DecodeRecord(changed.data(), changed.size(), read)) << corruption.at;
  }
}

}  // namespace

namespace {

// A record rides in its registry editor's file as a comment line; the
// last such line counts, and a damaged one reads as no record.
TEST(RecordIndex, ReadsBackFromItsCommentLine) {
  const std::wstring line = RecordCommentLine(Sample());
  EXPECT_EQ(line.compare(0, 17, L"; Velmora record "), 0);
  EntryRecord read;
  const std::wstring file = L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\x]\r\n\"a\"=\"b\"\r\n\r\n";
  ASSERT_TRUE(RecordFromText(file + line, read));
  EXPECT_TRUE(read == Sample());
  EXPECT_FALSE(RecordFromText(file, read));
  EXPECT_FALSE(RecordFromText(file + line.substr(0, line.size() - 4), read));  // a digit short
  std::wstring damaged = file + line;
  damaged[file.size() + 20] = L'x';
  EXPECT_FALSE(RecordFromText(damaged, read));
}

}  // namespace

namespace {

// The index of the list: summaries one after another; an append that was
// cut off ends the list where it was cut.
TEST(RecordIndex, SummariesReadBackUpToADamagedTail) {
  const std::vector<RecordSummary> summaries = {
      {L"01d2c3b4a5968778.reg", RecordKind::Removed, false, std::wstring(L"a\0b", 3), L"HKEY_CURRENT_USER\\x", L"C:\\a.exe"},
      {L"01d2c3b4a5968779", RecordKind::Replaced, true, L"t.exe", L"C:\\Startup", L"C:\\Startup\\t.exe"},
  };
  std::vector<std::uint8_t> bytes;
  for (const RecordSummary& summary : summaries) {
    const std::vector<std::uint8_t> one = EncodeSummary(summary);
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  bool whole = false;
  EXPECT_EQ(DecodeSummaries(bytes.data(), bytes.size(), &whole), summaries);
  EXPECT_TRUE(whole);
  const size_t first = EncodeSummary(summaries[0]).size();
  for (size_t cut = first + 1; cut < bytes.size(); ++cut) {
    EXPECT_EQ(DecodeSummaries(bytes.data(), cut, &whole).size(), 1u) << cut;
    EXPECT_FALSE(whole) << "a damaged tail must be told, so the index is written again: " << cut;
  }
  EXPECT_TRUE(DecodeSummaries(bytes.data(), first - 1).empty());
}

}  // namespace

// The last look: read back exactly, nothing kept from a damaged one, and
// each mark decided by what changed since.
TEST(LastLook, RoundTripsAndRefusesWhatIsNotWhole) {
  const std::wstring run = L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  LastLook look;
  look[run] = {{std::wstring(L"A\0b", 3), L"C:\\a.exe", 0, false, true}, {L"\u0416", L"", 0, false, false}};
  look[L"C:\\Startup"] = {{L"tool.lnk", L"", 0x0123456789ABCDEFull, true, false}};
  look[L"HKEY_LOCAL_MACHINE\\Empty"] = {};
  const std::vector<std::uint8_t> bytes = EncodeLastLook(look);
  LastLook read;
  ASSERT_TRUE(DecodeLastLook(bytes.data(), bytes.size(), read));
  EXPECT_EQ(read, look);
  for (size_t size = 0; size < bytes.size(); ++size) {
    LastLook partial{{L"kept", {}}};
    EXPECT_FALSE(DecodeLastLook(bytes.data(), size, partial)) << size;
    EXPECT_EQ(partial.size(), 1u) << "a damaged look changed what was read before";
  }
  // Read only in the form it is written in: each location once, in order.
  const auto lookOf = [](std::vector<std::wstring> locations) {
    std::vector<std::uint8_t> out = {'V', 'L', 'M', 'L', 1, static_cast<std::uint8_t>(locations.size()), 0, 0, 0};
    for (const std::wstring& location : locations) {
      out.insert(out.end(), {static_cast<std::uint8_t>(location.size()), 0, 0, 0});
      for (const wchar_t c : location) out.insert(out.end(), {static_cast<std::uint8_t>(c), 0});
      out.insert(out.end(), {0, 0, 0, 0});
    }
    return out;
  };
  const struct {
    std::vector<std::wstring> locations;
    bool read;
  } forms[] = {{{L"A", L"B"}, true}, {{L"A", L"A", L"A"}, false}, {{L"B", L"A"}, false}, {{L"A", L"a"}, true}};
  for (const auto& form : forms) {
    const std::vector<std::uint8_t> bytes = lookOf(form.locations);
    LastLook read;
    EXPECT_EQ(DecodeLastLook(bytes.data(), bytes.size(), read), form.read) << form.locations.size();
    if (form.read) {
      EXPECT_EQ(EncodeLastLook(read), bytes);
    }
  }
}

TEST(LastLook, MarksWhatCameBack) {
  const LastLookIndex index(LastLook{{L"Run", {{L"Same", L"a", 0, false, false},
                                                {L"Off", L"a", 0, false, true},
                                                {L"File", L"", 7, true, false}}}});
  const struct {
    const wchar_t* location;
    LookedEntry now;
    EntryMark mark;
  } cases[] = {
      {L"Run", {L"Same", L"a", 0, false, false}, EntryMark::None},
      {L"Run", {L"same", L"a", 0, false, false}, EntryMark::New},  // names are kept exactly
      {L"Run", {L"Same", L"b", 0, false, false}, EntryMark::Changed},
      {L"Run", {L"Off", L"a", 0, false, true}, EntryMark::None},
      {L"Run", {L"Off", L"a", 0, false, false}, EntryMark::OnAgain},
      {L"Run", {L"Off", L"b", 0, false, false}, EntryMark::Changed},
      {L"Run", {L"File", L"", 7, true, false}, EntryMark::None},
      {L"Run", {L"File", L"", 8, true, false}, EntryMark::Changed},
      {L"Run", {L"Added", L"a", 0, false, false}, EntryMark::New},
      {L"RunOnce", {L"Added", L"a", 0, false, false}, EntryMark::None},  // not shown last time
  };
  for (const auto& c : cases)
    EXPECT_EQ(index.MarkOf(c.location, c.now), c.mark) << c.location << " " << std::string(c.now.name.begin(), c.now.name.end());
}
