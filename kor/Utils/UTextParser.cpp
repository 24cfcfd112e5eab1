#include "kor/Utils/UTextParser.h"

#include <cstring>

#include "kor/ErrorDescription.h"
#include "kor/Utils/UMemory.h"
#include "kor/Utils/URegex.h"

namespace kor {

namespace {

typedef URegex<unsigned char> URegexBytes;

// The longest text a string can hold with its terminator.
const uint64_t MAXIMUM_TEXT_LENGTH = 0x7FFFFF00u;

// The refinement patterns of one tokenization, compiled in list order.
class CompiledRefinements {
 public:
  CompiledRefinements() {}
  CompiledRefinements(const CompiledRefinements&) = delete;
  CompiledRefinements& operator=(const CompiledRefinements&) = delete;
  ~CompiledRefinements() noexcept(false) {
    for (int i = 0; i < m_regexes.GetNum(); ++i) DeleteObject(m_regexes[i]);
  }

  void Compile(const UList<UString>& patterns) {
    for (const UList<UString>::Node* node = patterns.GetHead(); node; node = node->next) {
      URegexBytes* regex = NewObject<URegexBytes>(node->value);
      try {
        m_regexes.Add(regex);
      } catch (...) {
        DeleteObject(regex);
        throw;
      }
    }
  }

  int GetCount() const { return m_regexes.GetNum(); }

  // Narrows [start, start + length) of text by each refinement in turn, each
  // seeing the current range as its whole subject; false when a refinement
  // finds nothing or meets an empty range.
  bool Narrow(const unsigned char* text, int& start, int& length) {
    for (int i = 0; i < m_regexes.GetNum(); ++i) {
      if (length == 0) return false;
      const unsigned char* begin = text + start;
      int offset = m_regexes[i]->Search(begin, begin + length, begin);
      if (offset < 0) return false;
      start += offset;
      length = m_regexes[i]->GetMatchLength();
    }
    return true;
  }

 private:
  UArray<URegexBytes*> m_regexes;
};

// Appends the four entries of every token of text (up to its first NUL) to
// tokens. A search error ends the text as no match does.
void FindTokens(const UString& mainPattern, const UList<UString>& refinementPatterns,
                const unsigned char* text, UArray<int>& tokens) {
  URegexBytes main(mainPattern);
  CompiledRefinements refinements;
  refinements.Compile(refinementPatterns);
  const unsigned char* end = text + std::strlen(reinterpret_cast<const char*>(text));
  int next = 0;
  while (text + next < end) {
    int matchStart = main.Search(text, end, text + next);
    if (matchStart < 0) break;
    int matchLength = main.GetMatchLength();
    int start = matchStart;
    int length = matchLength;
    if (refinements.GetCount() > 0 && refinements.Narrow(text, start, length)) {
      int index = tokens.Grow(UTextParserCursor::TOKEN_ENTRIES);
      tokens[index] = matchStart;
      tokens[index + 1] = matchLength;
      tokens[index + 2] = start;
      tokens[index + 3] = length;
    }
    // An empty match would be found again at the same place forever.
    next = matchStart + (matchLength > 0 ? matchLength : 1);
  }
}

}  // namespace

template <class C>
TextParserPolicy_ParseStream<C>::TextParserPolicy_ParseStream(IInputStream* text) {
  KOR_GUARD_BEGIN
  assure(text);
  uint64_t position = text->GetPosition();
  uint64_t size = text->GetSize();
  uint64_t length = size > position ? size - position : 0;
  assure(length < MAXIMUM_TEXT_LENGTH);
  m_text.Grow(static_cast<int>(length) + 1);
  uint64_t arrived = length > 0 ? text->Serialize(m_text.GetChars(), length) : 0;
  // Bytes that never arrived are not part of the text.
  if (arrived > length) arrived = length;
  int used = static_cast<int>(arrived);
  m_text[used] = 0;
  m_text.Erase(used + 1, static_cast<int>(length) - used);
  text->SeekToBegin();
  text->SeekForward(static_cast<int64_t>(position));
  KOR_GUARD_END
}

template <class Policy>
UTextParser<Policy>::UTextParser(IInputStream* text, const UTextParserGrammar& grammar)
    : Policy(text), m_cursor(nullptr) {
  KOR_GUARD_BEGIN
  SetGrammar(grammar);
  Tokenize(this->m_text);
  KOR_GUARD_END
}

template <class Policy>
UTextParser<Policy>::UTextParser(const UBaseString<Char>& text) : Policy(), m_cursor(nullptr) {
  KOR_GUARD_BEGIN
  SetGrammar(TEXT_PARSER_GRAMMAR_BLOCK);
  Tokenize(text);
  KOR_GUARD_END
}

template <class Policy>
UTextParser<Policy>::~UTextParser() noexcept(false) {
  DeleteObject(m_cursor);
}

template <class Policy>
void UTextParser<Policy>::SetGrammar(const UTextParserGrammar& grammar) {
  assure(grammar.mainPattern && grammar.refinementCount >= 0);
  m_mainPattern = grammar.mainPattern;
  m_refinements.Clear();
  for (int i = 0; i < grammar.refinementCount; ++i)
    m_refinements.PushBack(UBaseString<Char>(grammar.refinements[i]));
}

template <class Policy>
void UTextParser<Policy>::Tokenize(const UBaseString<Char>& text) {
  KOR_GUARD_BEGIN
  const unsigned char* chars = reinterpret_cast<const unsigned char*>(text.GetText());
  UTextParserCursor* cursor = NewObject<UTextParserCursor>(m_mainPattern, m_refinements, chars);
  try {
    FindTokens(cursor->m_mainPattern, cursor->m_refinements, cursor->m_text, cursor->m_tokens);
  } catch (...) {
    DeleteObject(cursor);
    throw;
  }
  if (cursor->m_tokens.GetNum() > 0) cursor->m_index = 0;
  DeleteObject(m_cursor);
  m_cursor = cursor;
  KOR_GUARD_END
}

template <class Policy>
UTextParserCursor& UTextParser<Policy>::GetCursor() {
  assure(m_cursor);
  return *m_cursor;
}

template class TextParserPolicy_ParseStream<unsigned char>;
template class UTextParser<TextParserPolicy_ParseStream<unsigned char>>;

}  // namespace kor
