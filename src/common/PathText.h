#pragma once
// Text operations on paths; byte strings in the ANSI code page.
#include <string>

std::string AppendPathDelimiter(const std::string& path);
std::string StripPathDelimiter(const std::string& path);
bool IsNetworkPath(const std::string& path);
bool HasSubstring(const std::string& text, const std::string& part);

// The text after the last "\" or ":", or the whole path when it has neither.
std::string FileNamePart(const std::string& path);
// Everything up to and including the last "\" or ":" (empty when none).
std::string FolderPart(const std::string& path);
