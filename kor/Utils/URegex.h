// A compiled regular expression: Oniguruma with the ASCII encoding and the
// Ruby syntax, so that every byte is one character and '$' matches at the
// end of every line.
#pragma once

#include "kor/Utils/UBaseString.h"

// Oniguruma's compiled pattern and match region, named as its header names
// them. The header itself stays out of ours: its region type shares its name
// with the POSIX regex library's, and users of both would not compile.
struct re_pattern_buffer;
struct re_registers;
struct OnigMatchParamStruct;

namespace kor {

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
  // more than any real text needs (see RetryLimit) gives up with an error
  // code, so that a crafted text cannot keep it busy for hours.
  int Search(const C* begin, const C* end, const C* start);

  // The length of the match found by the last successful Search.
  int GetMatchLength() const;

  const UBaseString<C>& GetPattern() const { return m_pattern; }

 private:
  void CreateOnigRegex();
  static unsigned long RetryLimit(const C* start, const C* end);

  UBaseString<C> m_pattern;
  re_pattern_buffer* m_regex;
  re_registers* m_region;
  unsigned int m_options;
  OnigMatchParamStruct* m_matchParam;
};

}  // namespace kor
