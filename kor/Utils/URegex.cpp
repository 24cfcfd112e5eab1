#include "kor/Utils/URegex.h"

#include <oniguruma.h>

#include "kor/ErrorDescription.h"

namespace kor {

template <class C>
URegex<C>::URegex(const UBaseString<C>& pattern)
    : m_regex(nullptr), m_region(nullptr), m_options(ONIG_OPTION_NONE) {
  KOR_GUARD_BEGIN
  m_pattern = pattern;
  CreateOnigRegex();
  KOR_GUARD_END
}

template <class C>
URegex<C>::~URegex() noexcept(false) {
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
  if (m_region == nullptr) {
    onig_free(m_regex);
    m_regex = nullptr;
    KOR_RAISE("out of memory");
  }
}

template <class C>
int URegex<C>::Search(const C* begin, const C* end, const C* start) {
  if (begin == nullptr || start < begin || start > end) return ONIG_MISMATCH;
  const OnigUChar* subject = reinterpret_cast<const OnigUChar*>(begin);
  const OnigUChar* subjectEnd = reinterpret_cast<const OnigUChar*>(end);
  return onig_search(m_regex, subject, subjectEnd, reinterpret_cast<const OnigUChar*>(start),
                     subjectEnd, m_region, m_options);
}

template <class C>
int URegex<C>::GetMatchLength() const {
  if (m_region->num_regs < 1 || m_region->beg[0] < 0) return 0;
  return m_region->end[0] - m_region->beg[0];
}

template class URegex<unsigned char>;

}  // namespace kor
