// An 8-bit string held in a UArray together with its terminating NUL, which
// the element count includes.
#pragma once

#include <cstdint>

#include "kor/Utils/UArray.h"

namespace kor {

template <class C>
class UBaseString;

// A position in a string; index -1 is the end position.
template <class C>
class UBaseStringIterator {
 public:
  enum { END = -1 };
  UBaseStringIterator(int index, const UBaseString<C>* string) : m_index(index), m_string(string) {}

  // The character's address, or null outside the string.
  const C* operator*() const {
    if (m_string == nullptr || m_index < 0 || m_index >= m_string->m_arrayNum) return nullptr;
    return m_string->m_array + m_index;
  }
  int GetIndex() const { return m_index; }
  const UBaseString<C>* GetString() const { return m_string; }
  bool IsEnd() const { return m_index == END; }

 private:
  int m_index;
  const UBaseString<C>* m_string;
};

template <class C>
class UBaseString : public UArray<C> {
 public:
  typedef UBaseStringIterator<C> Iterator;
  using UArray<C>::m_array;
  using UArray<C>::m_arrayNum;
  using UArray<C>::m_arrayMax;

  UBaseString() {}
  UBaseString(const char* text) {
    if (text) Construct(text, std::strlen(text));
  }
  UBaseString(const C* text) : UBaseString(reinterpret_cast<const char*>(text)) {}
  // The first length characters of text (which need no terminator).
  UBaseString(const char* text, int length) {
    assure(length >= 0);
    Construct(text ? text : "", static_cast<size_t>(length));
  }
  UBaseString(const UBaseString& source) : UArray<C>(source) {}

  UBaseString& operator=(const UBaseString& source) {
    if (this == &source) return *this;
    if (source.m_arrayNum == 0) {
      Clear();
      return *this;
    }
    Assign(source.GetText());
    return *this;
  }
  UBaseString& operator=(const char* text) {
    if (text == nullptr) Clear();
    else Assign(text);
    return *this;
  }

  static UBaseString FromInt(int32_t value) { return Formatted("%d", value); }
  static UBaseString FromInt64(int64_t value) { return Formatted("%lld", static_cast<long long>(value)); }
  static UBaseString FromUInt64(uint64_t value) {
    return Formatted("%llu", static_cast<unsigned long long>(value));
  }
  static UBaseString FromFloat(float value) { return Formatted("%.4f", static_cast<double>(value)); }
  static UBaseString FromDouble(double value) { return Formatted("%.4f", value); }

  int GetLength() const { return m_arrayNum > 0 ? m_arrayNum - 1 : 0; }
  bool IsEmpty() const { return GetLength() == 0; }

  // The text; an empty text for a string without storage.
  const char* GetText() const { return m_arrayNum > 0 ? reinterpret_cast<const char*>(m_array) : ""; }
  C* GetChars() { return m_array; }

  // Replaces the content; a null text, or the string's own storage, changes nothing.
  void Assign(const char* text) {
    if (text == nullptr || text == reinterpret_cast<const char*>(m_array)) return;
    if (IsInside(text)) {
      UBaseString copy(text);  // growing may move the block text lies in
      Assign(copy.GetText());
      return;
    }
    int needed = LengthOf(text) + 1;
    if (m_arrayNum < needed) this->Grow(needed - m_arrayNum);
    else if (needed < m_arrayNum) this->Erase(needed, m_arrayNum - needed);
    std::memcpy(m_array, text, static_cast<size_t>(needed));
  }

  void Append(const char* text) {
    if (text == nullptr) return;
    if (IsInside(text)) {
      UBaseString copy(text);  // growing may move the block text lies in
      Append(copy.GetText());
      return;
    }
    int length = LengthOf(text);
    int oldNum = m_arrayNum;
    int start = oldNum != 0 ? oldNum - 1 : 0;
    assure(length <= 0x7FFFFFC0 - oldNum);
    int newNum = oldNum != 0 ? oldNum + length : length + 1;
    if (m_arrayMax < newNum) {
      int doubled = oldNum <= 0x3FFFFFE0 ? 2 * oldNum : newNum;
      this->SetCapacity(RoundUp64(doubled > newNum ? doubled : newNum));
    }
    m_arrayNum = newNum;
    std::memcpy(m_array + start, text, static_cast<size_t>(length));
    m_array[newNum - 1] = 0;
  }
  void Append(const UBaseString& text) { Append(text.GetText()); }

  UBaseString& operator+=(const char* text) {
    Append(text);
    return *this;
  }
  UBaseString& operator+=(const UBaseString& text) {
    Append(text.GetText());
    return *this;
  }

  static UBaseString Concatenate(const UBaseString& left, const char* right) {
    UBaseString result(left);
    result.Append(right);
    return result;
  }

  // Characters from begin up to, not including, end; empty when the
  // positions are not an ordered pair of one string.
  static UBaseString Substring(const Iterator& begin, const Iterator& end) {
    const C* b = *begin;
    const C* e = *end;
    if (b == nullptr || e == nullptr || begin.GetString() != end.GetString() || e < b)
      return UBaseString();
    return UBaseString(reinterpret_cast<const char*>(b), static_cast<int>(e - b));
  }

  Iterator Begin() const { return Iterator(0, this); }
  Iterator At(int index) const { return Iterator(index, this); }
  Iterator End() const { return Iterator(Iterator::END, this); }

  // Searches backwards from position towards the start. Without a match, or
  // from the end position, the result is the last position.
  Iterator FindLast(C character, const Iterator& from) const {
    int last = m_arrayNum - 1 >= 0 ? m_arrayNum - 1 : 0;
    if (from.IsEnd() || m_arrayNum == 0) return Iterator(last, this);
    int start = from.GetIndex() < m_arrayNum ? from.GetIndex() : m_arrayNum - 1;
    for (int i = start; i >= 0; --i)
      if (m_array[i] == character) return Iterator(i, this);
    return Iterator(last, this);
  }

  bool operator==(const UBaseString& other) const {
    return std::strcmp(GetText(), other.GetText()) == 0;
  }
  bool operator!=(const UBaseString& other) const { return !(*this == other); }
  bool operator==(const char* text) const { return std::strcmp(GetText(), text ? text : "") == 0; }
  bool operator!=(const char* text) const { return !(*this == text); }

  // Keeps the storage, drops the content.
  void Clear() {
    if (m_arrayNum > 0) {
      m_arrayNum = 1;
      m_array[0] = 0;
    }
  }

 private:
  bool IsInside(const char* text) const {
    const char* base = reinterpret_cast<const char*>(m_array);
    return m_array != nullptr && text >= base && text < base + m_arrayMax;
  }

  static int LengthOf(const char* text) {
    size_t length = std::strlen(text);
    assure(length < 0x7FFFFF00u);
    return static_cast<int>(length);
  }

  void Construct(const char* text, size_t length) {
    assure(length < 0x7FFFFF00u);
    int count = static_cast<int>(length) + 1;
    this->SetCapacity(RoundUp64(count));
    std::memcpy(m_array, text, length);
    m_array[length] = 0;
    m_arrayNum = count;
  }

  template <class V>
  static UBaseString Formatted(const char* format, V value);
};

}  // namespace kor

#include <cstdio>

template <class C>
template <class V>
kor::UBaseString<C> kor::UBaseString<C>::Formatted(const char* format, V value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  UBaseString result;
  result.Assign(buffer);
  return result;
}

namespace kor {
typedef UBaseString<unsigned char> UString;
}
