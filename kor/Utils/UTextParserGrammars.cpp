#include "kor/Utils/UTextParserGrammars.h"

namespace kor {

namespace {

// The main patterns are stored in extended mode, each segment laid out
// with a run of tabs before its comment; the compiler ignores both.
#define KOR_TABS_26 "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t"
#define KOR_TABS_31 KOR_TABS_26 "\t\t\t\t\t"

const char kBlockMainPattern[] =
    "(?mx)"             KOR_TABS_26 "(?# case sensitive, multiline, extended)"
    "(\"[^\"]*\")"      KOR_TABS_26 "(?# match everything enclosed by quotes)"
    "|"                 KOR_TABS_26 "(?# or)"
    "(\\{"              KOR_TABS_26 "(?# match curly brace)"
    "(?:\\g<1>"         KOR_TABS_26 "(?# match everything enclosed by quotes)"
    "|"                 KOR_TABS_26 "(?# or)"
    "[^\\{\\}]"         KOR_TABS_26 "(?# match everything anything except curly braces)"
    "|"                 KOR_TABS_26 "(?# or)"
    "\\g<2>)*"          KOR_TABS_26 "(?# match block recursively)"
    "\\})"              KOR_TABS_26 "(?# match curly brace)"
    "|"                 KOR_TABS_26 "(?# or)"
    "[^\\s\"\\{\\}]+"   KOR_TABS_26 "(?# match non-whitespace/quotes/curly braces)";

const char* const kBlockRefinements[] = {
    "(?m)(?<=\\A\\{).*(?=\\}\\Z)|(?<=\\A\").*(?=\"\\Z)|\\A[^\\{\"].*",
};

const char kHashCommentMainPattern[] =
    "(?x)"            KOR_TABS_31 "(?# case sensitive, single line, extended)"
    "(?:\\#.*?"       KOR_TABS_31 "(?# match # and anything else unless)"
    "(?:(?=\\#)"      KOR_TABS_31 "(?# lookahead matches #)"
    "|"               KOR_TABS_31 "(?# or)"
    "$))"             KOR_TABS_31 "(?# matches end of string - multiline)"
    "|"               KOR_TABS_31 "(?# or)"
    "(?:\\#\\?.*"     KOR_TABS_31 "(?# match #? and anything else unless)"
    "(?:(?=\\#\\?)"   KOR_TABS_31 "(?# lookahead matches #?)"
    "|"               KOR_TABS_31 "(?# or)"
    "$))"             KOR_TABS_31 "(?# matches end of string - multiline)"
    "|"               KOR_TABS_31 "(?# or)"
    "(?:[^\\s=]+)"    KOR_TABS_31 "(?# match everything except whitespace, equal signs)";

// The first drops comments; the second keeps what follows "#?" and wants
// any other token to be at least two characters long.
const char* const kHashCommentRefinements[] = {
    "^(?!#[^?]).+",
    "(?:(?<=#\\?)|(?=^[^#][^?])).+",
};

#undef KOR_TABS_31
#undef KOR_TABS_26

}  // namespace

const UTextParserGrammar TEXT_PARSER_GRAMMAR_BLOCK = {kBlockMainPattern, kBlockRefinements, 1, true};

const UTextParserGrammar TEXT_PARSER_GRAMMAR_HASH_COMMENT = {kHashCommentMainPattern,
                                                            kHashCommentRefinements, 2, false};

}  // namespace kor
