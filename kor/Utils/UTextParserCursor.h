// The tokens of one text as the text parser found them, handed out one at a
// time as strings and numbers. Reading past the last token yields empty
// strings and zeros.
#pragma once

#include "kor/Utils/UArray.h"
#include "kor/Utils/UBaseString.h"
#include "kor/Utils/UList.h"

namespace kor {

template <class Policy>
class UTextParser;

class UTextParserCursor {
 public:
  // Entries per token in the table: start and length of the main pattern's
  // match, start and length of the refined token, as offsets into the text.
  enum { TOKEN_ENTRIES = 4 };

  // text is the NUL-terminated text the tokens are cut from; it must
  // outlive the cursor.
  UTextParserCursor(const UString& mainPattern, const UList<UString>& refinements,
                    const unsigned char* text);
  UTextParserCursor(const UTextParserCursor&) = delete;
  UTextParserCursor& operator=(const UTextParserCursor&) = delete;
  ~UTextParserCursor() noexcept(false) {}

  // The current token's refined text, without advancing; empty past the end.
  const UString& GetToken();

  void ReadToken(UString& token);

  // Numbers are converted from the start of the main pattern's match, not
  // of the refined token, so a quoted number reads as 0.
  void ReadInt(int& value);
  void ReadFloat(float& value);
  void ReadFloat3(float* values);

  void Skip();
  void SkipTwo();

  bool HasToken() const;
  int GetTokenCount() const { return m_tokens.GetNum() / TOKEN_ENTRIES; }

  // Index of the current token's first entry: -1 without tokens, else a
  // multiple of TOKEN_ENTRIES (the table size once past the last token).
  int GetIndex() const { return m_index; }

  // Offsets of the current token in the text; -1 and 0 past the end.
  int GetMatchStart() const { return Entry(0, -1); }
  int GetMatchLength() const { return Entry(1, 0); }
  int GetTokenStart() const { return Entry(2, -1); }
  int GetTokenLength() const { return Entry(3, 0); }

  const unsigned char* GetText() const { return m_text; }

  // True when tokenizing gave up before the end of the text (a text built
  // to make the patterns backtrack without end): the tokens stop there,
  // and readers must not take them for the whole text.
  bool IsCutShort() const { return m_cutShort; }

 private:
  template <class Policy>
  friend class UTextParser;

  int Entry(int entry, int none) const { return HasToken() ? m_tokens[m_index + entry] : none; }
  const char* MatchText() const;

  UString m_mainPattern;
  UList<UString> m_refinements;
  UArray<int> m_tokens;
  const unsigned char* m_text;
  int m_index;
  bool m_cutShort;
  UString m_token;
};

}  // namespace kor
