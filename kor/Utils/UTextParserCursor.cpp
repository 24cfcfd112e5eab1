#include "kor/Utils/UTextParserCursor.h"

#include <climits>
#include <cstdlib>

namespace kor {

UTextParserCursor::UTextParserCursor(const UString& mainPattern,
                                     const UList<UString>& refinements,
                                     const unsigned char* text)
    : m_mainPattern(mainPattern), m_text(text), m_index(-1), m_cutShort(false) {
  for (const UList<UString>::Node* node = refinements.GetHead(); node; node = node->next)
    m_refinements.PushBack(node->value);
}

bool UTextParserCursor::HasToken() const {
  return m_index >= 0 && m_index <= m_tokens.GetNum() - TOKEN_ENTRIES;
}

const char* UTextParserCursor::MatchText() const {
  return reinterpret_cast<const char*>(m_text) + m_tokens[m_index];
}

const UString& UTextParserCursor::GetToken() {
  if (HasToken())
    m_token = UString(reinterpret_cast<const char*>(m_text) + m_tokens[m_index + 2],
                      m_tokens[m_index + 3]);
  else
    m_token = "";
  return m_token;
}

void UTextParserCursor::ReadToken(UString& token) {
  token = GetToken();
  Skip();
}

// Out-of-range values saturate, as the C runtime the files come from does,
// rather than wrap.
void UTextParserCursor::ReadInt(int& value) {
  value = 0;
  if (HasToken()) {
    long number = std::strtol(MatchText(), nullptr, 10);
    if (number > INT_MAX) number = INT_MAX;
    if (number < INT_MIN) number = INT_MIN;
    value = static_cast<int>(number);
  }
  Skip();
}

// Converted straight to float so that values beyond its range become
// infinities instead of an undefined narrowing.
void UTextParserCursor::ReadFloat(float& value) {
  value = HasToken() ? std::strtof(MatchText(), nullptr) : 0.0f;
  Skip();
}

void UTextParserCursor::ReadFloat3(float* values) {
  assure(values);
  for (int i = 0; i < 3; ++i) ReadFloat(values[i]);
}

// Stops one token past the last, so that reads there find nothing.
void UTextParserCursor::Skip() {
  if (m_index < m_tokens.GetNum() - 3) m_index += TOKEN_ENTRIES;
}

void UTextParserCursor::SkipTwo() {
  Skip();
  Skip();
}

}  // namespace kor
