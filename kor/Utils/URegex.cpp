#include "kor/Utils/URegex.h"

#include <oniguruma.h>

#include <climits>

#include "kor/ErrorDescription.h"

namespace kor {

namespace {

// Real texts backtrack about once per character, crafted ones (an unclosed
// brace block full of quotes, say) quadratically or worse in the length of
// the text. The budget stays far above the first and cuts the second short;
// it also lets a block of many megabytes match, which Oniguruma's fixed
// default for one match would refuse.
const unsigned long BUDGET_BASE = 4096;
const unsigned long BUDGET_PER_CHARACTER = 64;

// A search first gets this many backtracking steps and twice as many on
// each retry, so that what it is charged is at most four times what it
// used, plus this.
const unsigned long FIRST_SEARCH_LIMIT = 16;

bool IsOverLimit(int result) {
  return result == ONIGERR_RETRY_LIMIT_IN_MATCH_OVER || result == ONIGERR_RETRY_LIMIT_IN_SEARCH_OVER;
}

// Oniguruma gives up on recursive calls nested more than 20 deep, so a
// deeper brace block would silently not match. The limit is raised once,
// before the first pattern is used.
void LiftNestingLimit() {
  static const bool lifted = onig_set_subexp_call_max_nest_level(REGEX_MAX_NESTED_CALLS) == ONIG_NORMAL;
  (void)lifted;
}

}  // namespace

unsigned long RegexBudgetFor(uint64_t length) {
  const unsigned long most = ULONG_MAX / 2;
  if (length >= (most - BUDGET_BASE) / BUDGET_PER_CHARACTER) return most;
  return BUDGET_BASE + BUDGET_PER_CHARACTER * static_cast<unsigned long>(length);
}

template <class C>
URegex<C>::URegex(const UBaseString<C>& pattern)
    : m_regex(nullptr), m_region(nullptr), m_options(ONIG_OPTION_NONE), m_matchParam(nullptr) {
  KOR_GUARD_BEGIN
  LiftNestingLimit();
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
int URegex<C>::Search(const C* begin, const C* end, const C* start) {
  unsigned long budget = RegexBudgetFor(static_cast<uint64_t>(end - start));
  return Search(begin, end, start, budget);
}

// Oniguruma does not tell how many steps a search took, only whether it
// stayed within its limit; a search is charged every limit it was given.
template <class C>
int URegex<C>::Search(const C* begin, const C* end, const C* start, unsigned long& budget) {
  if (begin == nullptr || start < begin || start > end) return ONIG_MISMATCH;
  unsigned long limit = FIRST_SEARCH_LIMIT;
  for (;;) {
    if (budget == 0) return ONIGERR_RETRY_LIMIT_IN_SEARCH_OVER;
    if (limit > budget) limit = budget;
    int result = SearchWithin(begin, end, start, limit);
    budget -= limit;
    if (!IsOverLimit(result)) return result;
    limit *= 2;
  }
}

template <class C>
int URegex<C>::SearchWithin(const C* begin, const C* end, const C* start, unsigned long limit) {
  const OnigUChar* subject = reinterpret_cast<const OnigUChar*>(begin);
  const OnigUChar* subjectEnd = reinterpret_cast<const OnigUChar*>(end);
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
