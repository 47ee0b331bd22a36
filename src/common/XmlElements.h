#pragma once
// Walks an XML document with the system's XmlLite: each element as it
// opens, with the local names of the elements it is in, and each piece of
// text with the path of the element holding it. The bytes may be UTF-16
// (with or without a byte-order mark) or UTF-8, as the document says.
// Document type declarations are refused (XmlLite's default), so no entity
// expands and nothing outside the bytes is read.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct XmlVisitor {
  std::function<void(const std::vector<std::wstring>& path)> element;
  std::function<void(const std::vector<std::wstring>& path, const std::wstring& text)> text;
};

// False with the reason (the parser's, and the line) when the bytes are
// not a whole, well-formed document, or XmlLite cannot be had.
bool WalkXml(const std::vector<std::uint8_t>& bytes, const XmlVisitor& visitor, std::wstring& reason);
