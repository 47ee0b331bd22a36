#pragma once
// Text operations on paths, for byte strings in the ANSI code page (a
// lead byte and its trail byte are one character) and for UTF-16 strings
// alike: one implementation serves both.
#include <string>

std::string AppendPathDelimiter(const std::string& path);
std::wstring AppendPathDelimiter(const std::wstring& path);
std::string StripPathDelimiter(const std::string& path);
std::wstring StripPathDelimiter(const std::wstring& path);
bool IsNetworkPath(const std::string& path);
bool IsNetworkPath(const std::wstring& path);
bool HasSubstring(const std::string& text, const std::string& part);

// The text after the last "\" or ":", or the whole path when it has neither.
std::string FileNamePart(const std::string& path);
std::wstring FileNamePart(const std::wstring& path);
// Everything up to and including the last "\" or ":" (empty when none).
std::string FolderPart(const std::string& path);
std::wstring FolderPart(const std::wstring& path);
