// The grammars of the text parser: a main pattern that cuts a text into
// tokens and the refinement patterns that narrow each token, in order.
#pragma once

namespace kor {

struct UTextParserGrammar {
  const char* mainPattern;
  const char* const* refinements;
  int refinementCount;
  // Whether brace blocks nest in it: a text nested deeper than the
  // patterns can follow is then cut short where its outermost block starts.
  bool bracesNest;
};

// Words, quoted strings and brace blocks (nested blocks included); a token
// is the inside of a block or string, or a word whole. The model and map
// files are written in it.
extern const UTextParserGrammar TEXT_PARSER_GRAMMAR_BLOCK;

// Words separated by white space and '=', with comments from '#' to the
// end of the line dropped and the text after "#?" kept. Radiance headers
// are written in it.
extern const UTextParserGrammar TEXT_PARSER_GRAMMAR_HASH_COMMENT;

}  // namespace kor
