#pragma once
// File-name masks: "*", "?", sets "[a-c]" and negated sets "[!a-c]",
// anchored at both ends, ASCII letters compared without regard to case.
#include <bitset>
#include <string>
#include <vector>

class TMask {
 public:
  // Masks with more star runs than this are malformed.
  static constexpr int MaxStarRuns = 30;

  explicit TMask(const std::string& mask);
  bool Matches(const std::string& name) const;
  // A malformed mask (an unclosed or empty set, a range without a start,
  // too many star runs) matches nothing.
  bool IsValid() const { return valid_; }

 private:
  enum class Kind { Literal, DoubleByte, AnyChar, Set, Star };
  struct Token {
    Kind kind;
    unsigned char first = 0;
    unsigned char second = 0;
    bool negated = false;
    std::bitset<256> members;
  };
  bool Compile(const std::string& mask);
  bool CompileSet(const std::string& mask, size_t& pos, Token& token);
  bool TokenMatches(const Token& token, const std::string& name, size_t at, size_t width) const;

  std::vector<Token> tokens_;
  bool valid_ = false;
};

// True when the name matches any mask of a ";"-separated list. A name
// without "." is tested with "." appended when the list contains one.
bool MatchesAnyMask(const std::string& name, const std::string& maskList);
// A UTF-16 name against a list of ASCII masks: every other character
// stands for one character that no mask letter matches.
bool MatchesAnyMask(const std::wstring& name, const std::string& maskList);
