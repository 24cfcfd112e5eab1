#include "kor/Utils/UTextParser.h"

#include <cstring>

#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/ErrorDescription.h"
#include "kor/Utils/UMemory.h"
#include "kor/Utils/URegex.h"

namespace kor {

namespace {

typedef URegex<unsigned char> URegexBytes;

// What a search returns when it finds nothing (Oniguruma's ONIG_MISMATCH).
const int ONIG_MISMATCH_RESULT = -1;

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
  // seeing the current range as its whole subject: the offset of the match
  // (0 when it is kept), ONIG_MISMATCH when a refinement finds nothing or
  // meets an empty range, or the error of a search that gave up.
  int Narrow(const unsigned char* text, int& start, int& length, unsigned long& budget) {
    for (int i = 0; i < m_regexes.GetNum(); ++i) {
      if (length == 0) return -1;
      const unsigned char* begin = text + start;
      int offset = m_regexes[i]->Search(begin, begin + length, begin, budget);
      if (offset < 0) return offset;
      start += offset;
      length = m_regexes[i]->GetMatchLength();
    }
    return 0;
  }

 private:
  UArray<URegexBytes*> m_regexes;
};

void WarnCutShort(const char* why, size_t at, size_t length) {
  ICoreServices* services = GetCoreServices();
  UMessageWriter(services ? services->GetChannel(7) : nullptr, why)
      << ": gave up at " << static_cast<uint64_t>(at) << " of " << static_cast<uint64_t>(length) << " characters.";
}

const char* const TOO_TANGLED = "Text too tangled to cut into tokens";
const char* const TOO_DEEP = "Text nests blocks too deeply to cut into tokens";

// Where the outermost block starts that holds braces nested deeper than
// the patterns can follow, or length when none does. Braces are counted
// as the block pattern first reads them: not inside quoted strings, and a
// closing brace outside every block closes nothing.
size_t StartOfTooDeepBlock(const unsigned char* text, size_t length) {
  int depth = 0;
  bool quoted = false;
  size_t outermost = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '"') quoted = !quoted;
    if (quoted) continue;
    if (text[i] == '{') {
      if (depth == 0) outermost = i;
      if (++depth > REGEX_MAX_NESTED_CALLS) return outermost;
    } else if (text[i] == '}' && depth > 0) {
      --depth;
    }
  }
  return length;
}

// Appends the four entries of every token of text (up to its first NUL) to
// tokens. All searches share one backtracking budget; false when it ran out
// (or a search failed otherwise) before the end of the text, after a
// message on channel 7.
bool FindTokens(const UString& mainPattern, const UList<UString>& refinementPatterns, bool bracesNest,
                const unsigned char* text, UArray<int>& tokens) {
  URegexBytes main(mainPattern);
  CompiledRefinements refinements;
  refinements.Compile(refinementPatterns);
  size_t textLength = std::strlen(reinterpret_cast<const char*>(text));
  size_t usable = bracesNest ? StartOfTooDeepBlock(text, textLength) : textLength;
  const unsigned char* end = text + usable;
  unsigned long budget = RegexBudgetFor(textLength);
  int next = 0;
  while (text + next < end) {
    int matchStart = main.Search(text, end, text + next, budget);
    if (matchStart == ONIG_MISMATCH_RESULT) break;
    if (matchStart < 0) {
      WarnCutShort(TOO_TANGLED, next, textLength);
      return false;
    }
    int matchLength = main.GetMatchLength();
    int start = matchStart;
    int length = matchLength;
    int narrowed = refinements.GetCount() > 0 ? refinements.Narrow(text, start, length, budget) : -1;
    if (narrowed < -1) {
      WarnCutShort(TOO_TANGLED, matchStart, textLength);
      return false;
    }
    if (narrowed == 0) {
      int index = tokens.Grow(UTextParserCursor::TOKEN_ENTRIES);
      tokens[index] = matchStart;
      tokens[index + 1] = matchLength;
      tokens[index + 2] = start;
      tokens[index + 3] = length;
    }
    // An empty match would be found again at the same place forever.
    next = matchStart + (matchLength > 0 ? matchLength : 1);
  }
  if (usable == textLength) return true;
  WarnCutShort(TOO_DEEP, usable, textLength);
  return false;
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
    : Policy(text), m_bracesNest(false), m_cursor(nullptr) {
  KOR_GUARD_BEGIN
  SetGrammar(grammar);
  Tokenize(this->m_text);
  KOR_GUARD_END
}

template <class Policy>
UTextParser<Policy>::UTextParser(const UBaseString<Char>& text) : Policy(), m_bracesNest(false), m_cursor(nullptr) {
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
  m_bracesNest = grammar.bracesNest;
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
    cursor->m_cutShort =
        !FindTokens(cursor->m_mainPattern, cursor->m_refinements, m_bracesNest, cursor->m_text, cursor->m_tokens);
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
