// A saved list read back: both formats, every kind of bad line named by
// its line and left out while the good ones are taken; the marks of a
// row against its saved entry; paths of another profile compared alike.
#include <gtest/gtest.h>

#include <string>

#include "AsciiNoCase.h"
#include "common/Csv.h"
#include "manager/SavedList.h"

namespace {

const char kHeader2[] = "Location,Name,Command,State,Missing,Publisher,Description,Verified signer,Program,SHA-256,Format\r\n";
const char kHeader1[] = "Location,Name,Command,State,Missing,Publisher,Description,Verified signer,SHA-256\r\n";
const char kRun[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Row2(const std::string& name, const std::string& command = "c.exe", const std::string& format = "velmora-list 2") {
  return std::string(kRun) + "," + name + "," + command + ",on,no,,,,C:\\c.exe,ab12," + format + "\r\n";
}

SavedList Read(const std::string& bytes) {
  return ReadSavedList(bytes, L"clean.csv", [](const std::wstring& place) { return place.rfind(L"HKEY_", 0) == 0; },
                       AsciiFold);
}

}  // namespace

TEST(SavedList, GoodRowsTakenBadLinesNamed) {
  const std::string longField(kLongestSavedField + 1, 'x');
  const struct {
    const char* what;
    std::string bytes;
    size_t taken;
    std::wstring problem;  // the one message, empty for none
  } cases[] = {
      {"both formats, apostrophes and escapes undone", std::string("\xEF\xBB\xBF") + kHeader2 +
           Row2("'=cmd|x%0Ay", "\"'-c \"\"q\"\"\""), 1, L""},
      {"first format: names as written", std::string(kHeader1) + kRun + ",'=a%0A,x,off,,,,,ff\r\n", 1, L""},
      {"not a list", "Name,Value\r\nx,y\r\n", 0, L"Line 1 of 'clean.csv' is not the header of a saved list: it reads 'Name'"},
      {"empty file", "", 0, L"Line 1 of 'clean.csv' is not the header of a saved list: the file is empty"},
      {"cut short in a row", std::string(kHeader2) + Row2("a") + kRun + ",b,c.ex", 1,
       L"Line 3 of 'clean.csv' is left out: it is cut short: the list ends inside it"},
      {"cut short in a quote", std::string(kHeader2) + Row2("a") + kRun + ",\"b\r\nc", 1,
       L"Line 3 of 'clean.csv' is left out: it is cut short: a quoted field is not closed"},
      {"too few fields", std::string(kHeader2) + kRun + ",a,b\r\n" + Row2("b"), 1,
       L"Line 2 of 'clean.csv' is left out: it has 3 fields, a row of this list has 11"},
      {"a megabyte field", std::string(kHeader2) + Row2(longField) + Row2("b"), 1,
       L"Line 2 of 'clean.csv' is left out: a field is longer than 65536 characters"},
      {"unknown place", std::string(kHeader2) + "Nowhere,a,b,on,,,,,,,velmora-list 2\r\n" + Row2("b"), 1,
       L"Line 2 of 'clean.csv' is left out: the place 'Nowhere' is not one this manager lists"},
      {"duplicate, case-blind; line numbers count quoted breaks", std::string(kHeader2) + Row2("\"a\r\nb\"") + Row2("\"A\r\nB\""), 1,
       L"Line 4 of 'clean.csv' is left out: it repeats the entry of line 2"},
      {"another format", std::string(kHeader2) + Row2("a", "c", "velmora-list 3"), 0,
       L"Line 2 of 'clean.csv' is left out: its format is 'velmora-list 3', not velmora-list 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const SavedList list = Read(c.bytes);
    EXPECT_EQ(list.entries.size(), c.taken);
    if (c.problem.empty()) {
      EXPECT_TRUE(list.problems.empty());
    } else {
      ASSERT_EQ(list.problems.size(), 1u);
      EXPECT_EQ(list.problems.front(), c.problem);
    }
  }
  const SavedList escaped = Read(std::string(kHeader2) + Row2("'=cmd|x%0Ay", "\"'-c \"\"q\"\"\""));
  ASSERT_EQ(escaped.entries.size(), 1u);
  EXPECT_EQ(escaped.entries[0].name, L"=cmd|x\ny");
  EXPECT_EQ(escaped.entries[0].command, L"-c \"q\"");
  EXPECT_EQ(escaped.entries[0].program, L"C:\\c.exe");
  const SavedList first = Read(std::string(kHeader1) + kRun + ",'=a%0A,x,off,,,,,ff\r\n");
  ASSERT_EQ(first.entries.size(), 1u);
  EXPECT_EQ(first.entries[0].name, L"'=a%0A");
  EXPECT_EQ(first.entries[0].sha256, L"ff");
  // What the writer writes, the reader reads back exactly.
  const std::wstring name(L"\u00e9\0\r\n%'x", 7);
  const SavedList again = Read(std::string(kHeader2) + CsvRecord({L"HKEY_X", AsSpreadsheetText(ListName(name)), L"@c",
                                                                  L"on", L"", L"", L"", L"", L"", L"", L"velmora-list 2"}));
  ASSERT_EQ(again.entries.size(), 1u);
  EXPECT_EQ(again.entries[0].name, name);
}

TEST(SavedList, MarksAndAnotherProfile) {
  const std::vector<FolderName> here = {{L"D:\\Home\\Ana", L"%USERPROFILE%", L""}, {L"D:\\Home\\Ana\\Roam", L"%APPDATA%", L""}};
  SavedEntry saved;
  saved.command = L"\"C:\\Users\\bob\\AppData\\Roaming\\t.exe\" /s";
  saved.program = L"C:\\Users\\bob\\AppData\\Roaming\\t.exe";
  saved.state = L"on";
  saved.sha256 = L"aa";
  const struct {
    const char* what;
    EntryNow now;
    ComparedMark mark;
  } cases[] = {
      {"same, under another profile", {L"\"D:\\Home\\Ana\\Roam\\t.exe\" /s", L"on", L"D:\\Home\\Ana\\Roam\\T.EXE", L"aa", true},
       ComparedMark::None},
      {"same, hash not known yet", {L"\"%appdata%\\t.exe\" /s", L"on", L"c:\\users\\ana\\appdata\\roaming\\t.exe", L"", true},
       ComparedMark::None},
      {"argument changed", {L"\"%APPDATA%\\t.exe\" /x", L"on", L"", L"aa", true}, ComparedMark::CommandChanged},
      {"a profile's name is no prefix of another's", {L"\"C:\\Users\\bob2\\AppData\\Roaming\\t.exe\" /s", L"on", L"", L"", true},
       ComparedMark::None},
      {"another program file", {saved.command, L"on", L"C:\\Windows\\t.exe", L"aa", true}, ComparedMark::CommandChanged},
      {"replaced bytes", {saved.command, L"off", saved.program, L"bb", true}, ComparedMark::ProgramChanged},
      {"switched off", {saved.command, L"off", saved.program, L"aa", true}, ComparedMark::SwitchedOff},
      {"no switch to turn", {saved.command, L"off", saved.program, L"aa", false}, ComparedMark::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(MarkAgainst(saved, c.now, here, AsciiFold), c.mark);
  }
  saved.state = L"off";
  EXPECT_EQ(MarkAgainst(saved, {saved.command, L"on", L"", L"", true}, here, AsciiFold), ComparedMark::SwitchedOn);
  EXPECT_EQ(NeutralPaths(L"C:\\Program Files (x86)\\a.exe;c:\\program files\\b;C:\\Users\\Public\\c;D:\\Home\\Anabel",
                         here, AsciiFold),
            L"%ProgramFiles(x86)%\\a.exe;%ProgramFiles%\\b;C:\\Users\\Public\\c;D:\\Home\\Anabel");
}
