#include <gtest/gtest.h>

#include <set>

#include "common/CommandLine.h"

TEST(CommandLine, ProgramAndArgumentsAsWindowsReadsThem) {
  const std::set<std::string> files = {"C:\\Program Files\\App\\app.exe", "C:\\Program", "C:\\Tools\\my tool.exe",
                                       "C:\\a.exe"};
  const auto isFile = [&](const std::string& path) { return files.count(path) > 0; };
  struct Case {
    const char* line;
    const char* program;
    const char* arguments;
  } cases[] = {
      // Quoted: the quotes decide, whatever exists.
      {"\"C:\\Program Files\\App\\app.exe\" /tray", "C:\\Program Files\\App\\app.exe", "/tray"},
      {"\"C:\\Program Files\\App\\app.exe\"", "C:\\Program Files\\App\\app.exe", ""},
      {"  \"C:\\x y\\z.exe\"   -a  -b ", "C:\\x y\\z.exe", "-a  -b"},
      {"\"C:\\unclosed\\z.exe -a", "C:\\unclosed\\z.exe -a", ""},
      // Unquoted: the whole text when it names a file...
      {"C:\\Tools\\my tool.exe", "C:\\Tools\\my tool.exe", ""},
      // ...else the shortest part that does (a file "C:\Program" wins, as
      // it does for CreateProcess).
      {"C:\\Program Files\\App\\app.exe /tray", "C:\\Program", "Files\\App\\app.exe /tray"},
      {"C:\\Tools\\my tool.exe --min", "C:\\Tools\\my tool.exe", "--min"},
      {"C:\\a.exe  x", "C:\\a.exe", "x"},
      // Nothing names a file: the whole text.
      {"C:\\gone\\b.exe /q", "C:\\gone\\b.exe /q", ""},
      {"", "", ""},
      {"   ", "", ""},
  };
  for (const Case& c : cases) {
    const ProgramAndArguments split = SplitCommandLine(c.line, isFile);
    EXPECT_EQ(split.program, c.program) << c.line;
    EXPECT_EQ(split.arguments, c.arguments) << c.line;
  }
}
