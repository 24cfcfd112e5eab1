// A growable array whose storage comes from the core services' pool.
// Elements are relocated by byte copy, so element types must tolerate being
// moved bytewise (the library's strings and table nodes do).
#pragma once

#include <cstring>
#include <new>
#include <type_traits>

#include "kor/ErrorDescription.h"
#include "kor/Utils/UMemory.h"

namespace kor {

// The next multiple of 64 at or above n: small arrays share one size class.
inline int RoundUp64(int n) { return static_cast<int>((static_cast<unsigned>(n) + 63u) & ~63u); }

template <class T>
class UArray {
 public:
  UArray() : m_array(nullptr), m_arrayNum(0), m_arrayMax(0) {}

  explicit UArray(int count) : UArray() {
    assure(count >= 0);
    if (count > 0) {
      SetCapacity(RoundUp64(count));
      ConstructRange(0, count);
      m_arrayNum = count;
    }
  }

  UArray(const UArray& source) : UArray() { CopyFrom(source); }

  UArray& operator=(const UArray& source) {
    if (this != &source) {
      DestroyRange(0, m_arrayNum);
      m_arrayNum = 0;
      CopyFrom(source);
    }
    return *this;
  }

  virtual ~UArray() noexcept(false) {
    // The checks raise after the storage has been released, so a broken
    // array never leaks its block.
    struct Release {
      UArray* self;
      ~Release() {
        self->m_arrayNum = 0;
        if (self->m_array) FreeMemory(self->m_array, LOCATION_DELETE_ARRAY);
        self->m_array = nullptr;
      }
    } release{this};
    assure(m_arrayNum>=0);
    assure(m_arrayMax>=m_arrayNum);
    DestroyRange(0, m_arrayNum);
  }

  // Reallocates to exactly newMax slots; 0 frees the storage but leaves the
  // count to the caller.
  void SetCapacity(int newMax) {
    assure(newMax >= 0);
    if (newMax == 0) {
      if (m_array) FreeMemory(m_array, LOCATION_DELETE_ARRAY);
      m_array = nullptr;
      m_arrayMax = 0;
      return;
    }
    if (newMax == m_arrayMax) return;
    T* fresh = static_cast<T*>(
        AllocateMemory(static_cast<size_t>(newMax) * sizeof(T), LOCATION_NEW_ARRAY));
    if (newMax < m_arrayNum) {
      DestroyRange(newMax, m_arrayNum);
      m_arrayNum = newMax;
    }
    if (m_arrayNum > 0)
      std::memcpy(static_cast<void*>(fresh), static_cast<const void*>(m_array),
                  static_cast<size_t>(m_arrayNum) * sizeof(T));
    if (m_array) FreeMemory(m_array, LOCATION_DELETE_ARRAY);
    m_array = fresh;
    m_arrayMax = newMax;
  }

  // Makes count more elements available at the end; returns the old count.
  int Grow(int count) {
    assure(count >= 0);
    int old = m_arrayNum;
    assure(count <= 0x7FFFFFC0 - old);
    int needed = old + count;
    if (m_arrayMax < needed) {
      int doubled = old <= 0x3FFFFFE0 ? 2 * old : needed;
      SetCapacity(RoundUp64(doubled > needed ? doubled : needed));
    }
    ConstructRange(old, needed);
    m_arrayNum = needed;
    return old;
  }

  // Appends one copy of value; returns its index.
  int Add(const T& value) {
    int index = Grow(1);
    m_array[index] = value;
    return index;
  }

  // Removes count elements at position; the storage shrinks when it is more
  // than twice what remains.
  void Erase(int position, int count) {
    assure(position >= 0 && count >= 0 && count <= m_arrayNum - position);
    DestroyRange(position, position + count);
    if (position + count != m_arrayNum)
      std::memmove(static_cast<void*>(m_array + position),
                   static_cast<const void*>(m_array + position + count),
                   static_cast<size_t>(m_arrayNum - position - count) * sizeof(T));
    m_arrayNum -= count;
    int shrunk = RoundUp64(2 * m_arrayNum);
    if (shrunk < m_arrayMax) SetCapacity(shrunk);
  }

  // Empties the array and reserves room for count elements (rounded up).
  void Empty(int count = 0) {
    DestroyRange(0, m_arrayNum);
    m_arrayNum = 0;
    SetCapacity(count > 0 ? RoundUp64(count) : 0);
  }

  // Empties the array and reserves exactly count elements: raw byte buffers.
  void EmptyExact(int count) {
    DestroyRange(0, m_arrayNum);
    m_arrayNum = 0;
    SetCapacity(count > 0 ? count : 0);
  }

  T& operator[](int index) { return m_array[index]; }
  const T& operator[](int index) const { return m_array[index]; }

  int GetNum() const { return m_arrayNum; }
  int GetMax() const { return m_arrayMax; }
  T* GetData() { return m_array; }
  const T* GetData() const { return m_array; }

  // Kept open: the fields are the array's documented state.
  T* m_array;
  int m_arrayNum;
  int m_arrayMax;

 private:
  void CopyFrom(const UArray& source) {
    if (source.m_arrayNum <= 0) return;
    SetCapacity(RoundUp64(source.m_arrayNum));
    if constexpr (std::is_trivially_copyable<T>::value) {
      std::memcpy(static_cast<void*>(m_array), static_cast<const void*>(source.m_array),
                  static_cast<size_t>(source.m_arrayNum) * sizeof(T));
    } else {
      // Owning elements (strings) need their own copies, not shared blocks.
      for (int i = 0; i < source.m_arrayNum; ++i) new (m_array + i) T(source.m_array[i]);
    }
    m_arrayNum = source.m_arrayNum;
  }

  void ConstructRange(int begin, int end) {
    if constexpr (!std::is_trivially_default_constructible<T>::value)
      for (int i = begin; i < end; ++i) new (m_array + i) T();
  }

  void DestroyRange(int begin, int end) {
    if constexpr (!std::is_trivially_destructible<T>::value)
      for (int i = begin; i < end; ++i) m_array[i].~T();
  }
};

}  // namespace kor
