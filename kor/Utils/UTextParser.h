// A tokenizer whose grammar is nothing but regular expressions: a main
// pattern cuts the text into tokens, each refinement pattern in turn narrows
// a token (dropping it when it does not match), and a cursor hands the
// tokens out. The text comes from the policy.
#pragma once

#include "kor/CoreServices/Interfaces/IInputStream.h"
#include "kor/Utils/UBaseString.h"
#include "kor/Utils/UList.h"
#include "kor/Utils/UTextParserCursor.h"
#include "kor/Utils/UTextParserGrammars.h"

namespace kor {

// Text from a stream: everything from the stream's position to its end,
// read at construction; the stream is left where it was.
template <class C>
class TextParserPolicy_ParseStream {
 public:
  typedef C Char;

  explicit TextParserPolicy_ParseStream(IInputStream* text);

  const UBaseString<C>& GetText() const { return m_text; }

 protected:
  // No text of its own: the parser works on a caller's string.
  TextParserPolicy_ParseStream() {}

  UBaseString<C> m_text;
};

template <class Policy>
class UTextParser : public Policy {
 public:
  typedef typename Policy::Char Char;

  // Reads the text through the policy and tokenizes it with grammar.
  UTextParser(IInputStream* text, const UTextParserGrammar& grammar);

  // Tokenizes a caller's string (such as the inside of a brace block) with
  // the block grammar; text must outlive the parser.
  explicit UTextParser(const UBaseString<Char>& text);

  ~UTextParser() noexcept(false);

  UTextParser(const UTextParser&) = delete;
  UTextParser& operator=(const UTextParser&) = delete;

  // Cuts text, up to its first NUL, into a new cursor; the previous cursor
  // is discarded. text must outlive the cursor. A text that would take
  // more backtracking than its length allows is cut short: a message on
  // channel 7, and the cursor says so (IsCutShort).
  void Tokenize(const UBaseString<Char>& text);

  UTextParserCursor& GetCursor();

 private:
  void SetGrammar(const UTextParserGrammar& grammar);

  UBaseString<Char> m_mainPattern;
  UList<UBaseString<Char>> m_refinements;
  bool m_bracesNest;
  UTextParserCursor* m_cursor;
};

}  // namespace kor
