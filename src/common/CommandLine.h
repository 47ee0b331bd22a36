#pragma once
// How Windows reads a command line into the program it starts and the
// arguments it passes, for byte strings and UTF-16 alike.
#include <functional>
#include <string>

template <class Text>
struct BasicProgramAndArguments {
  Text program;
  Text arguments;
};
using ProgramAndArguments = BasicProgramAndArguments<std::string>;
using WideProgramAndArguments = BasicProgramAndArguments<std::wstring>;

// A quoted program is the text between the quotes; an unquoted text that
// names an existing file as a whole is the program; otherwise the shortest
// part up to a space that names an existing file, as CreateProcess reads
// an unquoted line. When no part names a file, the whole text is the
// program. Spaces around the text and before the arguments are dropped.
ProgramAndArguments SplitCommandLine(const std::string& commandLine,
                                     const std::function<bool(const std::string&)>& isFile);
WideProgramAndArguments SplitCommandLine(const std::wstring& commandLine,
                                         const std::function<bool(const std::wstring&)>& isFile);
