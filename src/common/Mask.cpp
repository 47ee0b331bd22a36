#include "common/Mask.h"

#include "common/LeadBytes.h"

namespace {

unsigned char FoldAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

// Width in bytes of the character that starts at `at`: a lead byte and its
// trail form one character, but never past the end of the text.
size_t CharWidth(const std::string& text, size_t at) {
  return (IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) ? 2 : 1;
}

}  // namespace

TMask::TMask(const std::string& mask) { valid_ = Compile(mask); }

bool TMask::Compile(const std::string& mask) {
  int starRuns = 0;
  size_t pos = 0;
  while (pos < mask.size()) {
    const auto c = static_cast<unsigned char>(mask[pos]);
    Token token{};
    if (c == '*') {
      // "*" followed by any mix of "*" and "?" is one star: those "?" demand nothing.
      while (pos < mask.size() && (mask[pos] == '*' || mask[pos] == '?')) ++pos;
      if (++starRuns > MaxStarRuns) return false;
      token.kind = Kind::Star;
    } else if (c == '?') {
      token.kind = Kind::AnyChar;
      ++pos;
    } else if (c == '[') {
      ++pos;
      if (!CompileSet(mask, pos, token)) return false;
    } else if (CharWidth(mask, pos) == 2) {
      token.kind = Kind::DoubleByte;
      token.first = c;
      token.second = static_cast<unsigned char>(mask[pos + 1]);
      pos += 2;
    } else {
      token.kind = Kind::Literal;
      token.first = FoldAscii(c);
      ++pos;
    }
    tokens_.push_back(token);
  }
  return true;
}

// Reads the members of a set up to its "]"; `pos` starts behind the "[".
bool TMask::CompileSet(const std::string& mask, size_t& pos, Token& token) {
  token.kind = Kind::Set;
  if (pos < mask.size() && mask[pos] == '!') {
    token.negated = true;
    ++pos;
  }
  bool any = false;
  while (pos < mask.size() && mask[pos] != ']') {
    if (CharWidth(mask, pos) == 2) {  // double-byte members are skipped
      pos += 2;
      any = true;
      continue;
    }
    const unsigned char low = FoldAscii(static_cast<unsigned char>(mask[pos]));
    if (low == '-' && !any) return false;  // a range with nothing before it
    ++pos;
    any = true;
    if (pos + 1 < mask.size() && mask[pos] == '-' && mask[pos + 1] != ']') {
      const unsigned char high = FoldAscii(static_cast<unsigned char>(mask[pos + 1]));
      pos += 2;
      for (unsigned c = low; c <= high; ++c) token.members.set(c);
    } else {
      token.members.set(low);
    }
  }
  if (pos >= mask.size() || !any) return false;  // unclosed or empty
  ++pos;                                        // the "]"
  return true;
}

bool TMask::TokenMatches(const Token& token, const std::string& name, size_t at, size_t width) const {
  const auto c = static_cast<unsigned char>(name[at]);
  switch (token.kind) {
    case Kind::AnyChar:
      return true;
    case Kind::Literal:
      return width == 1 && FoldAscii(c) == token.first;
    case Kind::DoubleByte:
      return width == 2 && c == token.first && static_cast<unsigned char>(name[at + 1]) == token.second;
    case Kind::Set: {
      const bool member = width == 1 && token.members.test(FoldAscii(c));
      return member != token.negated;
    }
    case Kind::Star:
      break;
  }
  return false;
}

// Every token but a star consumes exactly one character, so going back to
// the latest star and letting it take one more character is enough: this
// tries the earliest placement of every star first and finds a match
// whenever any placement exists.
bool TMask::Matches(const std::string& name) const {
  if (!valid_) return false;
  size_t t = 0, n = 0;
  size_t starToken = std::string::npos, starResume = 0;
  while (n < name.size()) {
    const size_t width = CharWidth(name, n);
    if (t < tokens_.size() && tokens_[t].kind == Kind::Star) {
      starToken = t++;
      starResume = n;
    } else if (t < tokens_.size() && TokenMatches(tokens_[t], name, n, width)) {
      ++t;
      n += width;
    } else if (starToken != std::string::npos) {
      t = starToken + 1;
      starResume += CharWidth(name, starResume);
      n = starResume;
    } else {
      return false;
    }
  }
  while (t < tokens_.size() && tokens_[t].kind == Kind::Star) ++t;
  return t == tokens_.size();
}

bool MatchesAnyMask(const std::string& name, const std::string& maskList) {
  std::string prepared = name;
  if (maskList.find('.') != std::string::npos && name.find('.') == std::string::npos) prepared += '.';
  size_t start = 0;
  while (start <= maskList.size()) {
    size_t end = maskList.find(';', start);
    if (end == std::string::npos) end = maskList.size();
    const std::string piece = maskList.substr(start, end - start);
    if (!piece.empty() && TMask(piece).Matches(prepared)) return true;
    start = end + 1;
  }
  return false;
}

bool MatchesAnyMask(const std::wstring& name, const std::string& maskList) {
  std::string shadow;
  shadow.reserve(name.size());
  for (size_t at = 0; at < name.size(); ++at) {
    const wchar_t unit = name[at];
    if (unit < 0x80) {
      shadow += static_cast<char>(unit);
      continue;
    }
    // A surrogate pair is one character; DEL is no lead byte of any code page.
    if (unit >= 0xD800 && unit < 0xDC00 && at + 1 < name.size() && name[at + 1] >= 0xDC00 && name[at + 1] < 0xE000)
      ++at;
    shadow += '\x7f';
  }
  return MatchesAnyMask(shadow, maskList);
}
