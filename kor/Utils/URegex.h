// A compiled regular expression: Oniguruma with the ASCII encoding and the
// Ruby syntax, so that every byte is one character and '$' matches at the
// end of every line.
#pragma once

#include <cstdint>

#include "kor/Utils/UBaseString.h"

// Oniguruma's compiled pattern and match region, named as its header names
// them. The header itself stays out of ours: its region type shares its name
// with the POSIX regex library's, and users of both would not compile.
struct re_pattern_buffer;
struct re_registers;
struct OnigMatchParamStruct;

namespace kor {

// The backtracking steps that the searches over a text of length
// characters may take together: far more than any real text needs, and
// linear in its length, so that a crafted text costs no more than a plain
// one of its size.
unsigned long RegexBudgetFor(uint64_t length);

// How deep recursive calls of a pattern may nest. Each level makes the
// library's return from a call look further back, so the cost of a match
// grows with the square of its depth: deeper texts are refused by their
// readers (a brace block of this depth is 1 KB of braces at least).
enum { REGEX_MAX_NESTED_CALLS = 512 };

template <class C>
class URegex {
 public:
  // Compiles pattern; a pattern that does not compile raises an
  // ErrorDescription with Oniguruma's message for the error.
  explicit URegex(const UBaseString<C>& pattern);
  ~URegex() noexcept(false);

  URegex(const URegex&) = delete;
  URegex& operator=(const URegex&) = delete;

  // Looks for the first match that starts at or after start within the
  // subject [begin, end); anchors and look-behinds see begin as the start of
  // the text. Returns the match's offset from begin, -1 when there is none,
  // or an Oniguruma error code (below -1). A search that backtracks far
  // more than any real text needs (RegexBudgetFor the text from start)
  // gives up with an error code, so that a crafted text cannot keep it
  // busy for hours.
  int Search(const C* begin, const C* end, const C* start);

  // The same, spending from a budget that several searches share: the
  // steps this one took (at most four times as many, plus a few) are
  // taken from it. Once it is spent, searches give up with an error code.
  int Search(const C* begin, const C* end, const C* start, unsigned long& budget);

  // The length of the match found by the last successful Search.
  int GetMatchLength() const;

  const UBaseString<C>& GetPattern() const { return m_pattern; }

 private:
  void CreateOnigRegex();
  int SearchWithin(const C* begin, const C* end, const C* start, unsigned long limit);

  UBaseString<C> m_pattern;
  re_pattern_buffer* m_regex;
  re_registers* m_region;
  unsigned int m_options;
  OnigMatchParamStruct* m_matchParam;
};

}  // namespace kor
