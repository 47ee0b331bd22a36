#pragma once
// Fitting a path into a width by replacing leading folders with "...\".
#include <functional>
#include <string>

using TextWidthFn = std::function<int(const std::string&)>;

// One pass on the folder part (never given an empty text).
void DropLeadingFolder(std::string& folder);

// The shortening loop with the text width supplied by the caller; the
// Windows overload in FileTools measures with a device context.
std::string ShortenPath(const std::string& path, const TextWidthFn& textWidth, int maxWidth);
