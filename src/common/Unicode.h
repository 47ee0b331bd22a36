#pragma once
// Conversions between the ANSI code page, UTF-8 and UTF-16. Names and
// texts from the registry and the file system are UTF-16 and stay so;
// error texts are UTF-8 inside exceptions; the host's boundary is ANSI.
#include <string>

std::wstring WideFromAnsi(const std::string& text);
std::string AnsiFromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);
