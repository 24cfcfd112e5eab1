#include "kor/Utils/URegex.h"

#include <oniguruma.h>

#include "kor/ErrorDescription.h"

namespace kor {

namespace {

// Real texts backtrack a few times per character, crafted ones (an unclosed
// brace block full of quotes, say) quadratically or worse in the length of
// the text. The limit stays far above the first and cuts the second short;
// it also lets a block of many megabytes match, which Oniguruma's fixed
// default for one match would refuse.
const unsigned long RETRY_LIMIT_BASE = 1000000;
const unsigned long RETRY_LIMIT_PER_CHARACTER = 64;

}  // namespace

template <class C>
URegex<C>::URegex(const UBaseString<C>& pattern)
    : m_regex(nullptr), m_region(nullptr), m_options(ONIG_OPTION_NONE), m_matchParam(nullptr) {
  KOR_GUARD_BEGIN
  m_pattern = pattern;
  CreateOnigRegex();
  KOR_GUARD_END
}

template <class C>
URegex<C>::~URegex() noexcept(false) {
  if (m_matchParam) onig_free_match_param(m_matchParam);
  if (m_region) onig_region_free(m_region, 1);
  if (m_regex) onig_free(m_regex);
}

template <class C>
void URegex<C>::CreateOnigRegex() {
  const OnigUChar* begin = reinterpret_cast<const OnigUChar*>(m_pattern.GetText());
  const OnigUChar* end = begin + m_pattern.GetLength();
  OnigErrorInfo info;
  int result = onig_new(&m_regex, begin, end, m_options, ONIG_ENCODING_ASCII, ONIG_SYNTAX_RUBY, &info);
  if (result != ONIG_NORMAL) {
    m_regex = nullptr;
    OnigUChar message[ONIG_MAX_ERROR_MESSAGE_LEN];
    onig_error_code_to_str(message, result, &info);
    KOR_RAISE(reinterpret_cast<const char*>(message));
  }
  m_region = onig_region_new();
  m_matchParam = onig_new_match_param();
  if (m_region == nullptr || m_matchParam == nullptr) {
    if (m_region) onig_region_free(m_region, 1);
    if (m_matchParam) onig_free_match_param(m_matchParam);
    onig_free(m_regex);
    m_regex = nullptr;
    m_region = nullptr;
    m_matchParam = nullptr;
    KOR_RAISE("out of memory");
  }
  onig_initialize_match_param(m_matchParam);
}

template <class C>
unsigned long URegex<C>::RetryLimit(const C* start, const C* end) {
  return RETRY_LIMIT_BASE + RETRY_LIMIT_PER_CHARACTER * static_cast<unsigned long>(end - start);
}

template <class C>
int URegex<C>::Search(const C* begin, const C* end, const C* start) {
  if (begin == nullptr || start < begin || start > end) return ONIG_MISMATCH;
  const OnigUChar* subject = reinterpret_cast<const OnigUChar*>(begin);
  const OnigUChar* subjectEnd = reinterpret_cast<const OnigUChar*>(end);
  unsigned long limit = RetryLimit(start, end);
  onig_set_retry_limit_in_match_of_match_param(m_matchParam, limit);
  onig_set_retry_limit_in_search_of_match_param(m_matchParam, limit);
  return onig_search_with_param(m_regex, subject, subjectEnd, reinterpret_cast<const OnigUChar*>(start),
                                subjectEnd, m_region, m_options, m_matchParam);
}

template <class C>
int URegex<C>::GetMatchLength() const {
  if (m_region->num_regs < 1 || m_region->beg[0] < 0) return 0;
  return m_region->end[0] - m_region->beg[0];
}

template class URegex<unsigned char>;

}  // namespace kor
