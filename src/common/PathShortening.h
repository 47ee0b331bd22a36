#pragma once
// Fitting a path into a width by replacing leading folders with "...\",
// for byte strings and UTF-16 alike.
#include <functional>
#include <string>

using TextWidthFn = std::function<int(const std::string&)>;
using WideTextWidthFn = std::function<int(const std::wstring&)>;

// One pass on the folder part (never given an empty text).
void DropLeadingFolder(std::string& folder);
void DropLeadingFolder(std::wstring& folder);

// The shortening loop with the text width supplied by the caller; the
// Windows overloads in FileTools measure with a device context.
std::string ShortenPath(const std::string& path, const TextWidthFn& textWidth, int maxWidth);
std::wstring ShortenPath(const std::wstring& path, const WideTextWidthFn& textWidth, int maxWidth);
