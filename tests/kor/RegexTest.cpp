#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kor/ErrorDescription.h"
#include "kor/Utils/URegex.h"
#include "kor/Utils/UTextParserGrammars.h"

namespace {

typedef kor::URegex<unsigned char> Regex;

// Offset and length of the first match in subject[from, to) at or after
// start, or {-1, 0}.
std::pair<int, int> Find(const char* pattern, const std::string& subject, size_t start = 0,
                         size_t from = 0) {
  Regex regex{kor::UString(pattern)};
  const unsigned char* text = reinterpret_cast<const unsigned char*>(subject.data());
  int offset = regex.Search(text + from, text + subject.size(), text + start);
  return {offset, offset >= 0 ? regex.GetMatchLength() : 0};
}

std::string CompileError(const char* pattern, std::string* history = nullptr) {
  try {
    Regex regex{kor::UString(pattern)};
  } catch (const kor::ErrorDescription& error) {
    if (history) *history = error.GetHistory();
    return error.GetMessage();
  }
  return "compiled";
}

}  // namespace

TEST(Regex, GrammarsAreStoredWithTheirLayoutAndCompile) {
  EXPECT_EQ(684u, std::strlen(kor::TEXT_PARSER_GRAMMAR_BLOCK.mainPattern));
  EXPECT_EQ(756u, std::strlen(kor::TEXT_PARSER_GRAMMAR_HASH_COMMENT.mainPattern));
  std::string start = "(?mx)" + std::string(26, '\t') +
                      "(?# case sensitive, multiline, extended)(\"[^\"]*\")";
  EXPECT_EQ(start, std::string(kor::TEXT_PARSER_GRAMMAR_BLOCK.mainPattern).substr(0, start.size()));
  for (const kor::UTextParserGrammar* grammar :
       {&kor::TEXT_PARSER_GRAMMAR_BLOCK, &kor::TEXT_PARSER_GRAMMAR_HASH_COMMENT}) {
    EXPECT_EQ("compiled", CompileError(grammar->mainPattern));
    for (int i = 0; i < grammar->refinementCount; ++i)
      EXPECT_EQ("compiled", CompileError(grammar->refinements[i]));
  }
}

TEST(Regex, SearchCountsFromTheSubjectStart) {
  EXPECT_EQ(std::make_pair(4, 3), Find("b+", "aaaabbbab"));
  EXPECT_EQ(std::make_pair(8, 1), Find("b+", "aaaabbbab", 7));
  EXPECT_EQ(std::make_pair(6, 1), Find("b+", "aaaabbbab", 7, 2));
  EXPECT_EQ(std::make_pair(-1, 0), Find("c", "aaaabbbab"));
  // A start outside the subject finds nothing instead of reading outside it.
  EXPECT_EQ(std::make_pair(-1, 0), Find("a", "aaa", 4));
}

TEST(Regex, AnchorsAndLookBehindsSeeOnlyTheSubject) {
  const char* inside = "(?<=\\A\\{).*(?=\\}\\Z)";
  EXPECT_EQ(std::make_pair(-1, 0), Find(inside, "x{ab}"));
  EXPECT_EQ(std::make_pair(1, 2), Find(inside, "x{ab}", 1, 1));
  EXPECT_EQ(std::make_pair(1, 2), Find(inside, "{ab}\n"));
  // Ruby rules: '$' ends every line, '.' crosses line breaks only under m.
  EXPECT_EQ(std::make_pair(0, 2), Find("ab$", "ab\ncd"));
  EXPECT_EQ(std::make_pair(-1, 0), Find("a.c", "a\nc"));
  EXPECT_EQ(std::make_pair(0, 3), Find("(?m)a.c", "a\nc"));
}

TEST(Regex, TabsAndCommentsAreLayoutOnlyInExtendedMode) {
  EXPECT_EQ(std::make_pair(0, 2), Find("(?x)a\t\t(?# the a)b", "ab"));
  EXPECT_EQ(std::make_pair(-1, 0), Find("a\tb", "ab"));
  // A bare '#' starts a comment in extended mode; the grammar escapes it.
  EXPECT_EQ(std::make_pair(1, 1), Find("(?x)\\#", "a#"));
}

TEST(Regex, BadPatternsRaiseTheLibrarysMessage) {
  std::string history;
  EXPECT_EQ("end pattern with unmatched parenthesis", CompileError("(ab", &history));
  EXPECT_EQ("kor::URegex<unsigned char>::CreateOnigRegex() <- kor::URegex<unsigned char>::URegex()",
            history);
  EXPECT_EQ("undefined group <3> reference", CompileError("\\g<3>"));
  EXPECT_EQ("empty range in char class", CompileError("[z-a]"));
}
