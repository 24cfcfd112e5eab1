// Owns one object made with NewObject for the length of a scope, so that
// an exception leaving the scope does not leak it.
#pragma once

#include "kor/Utils/UMemory.h"

namespace kor {

template <class T>
class UScopedObject {
 public:
  explicit UScopedObject(T* object = nullptr) : m_object(object) {}
  UScopedObject(const UScopedObject&) = delete;
  UScopedObject& operator=(const UScopedObject&) = delete;
  ~UScopedObject() noexcept(false) { DeleteObject(m_object); }

  T* Get() const { return m_object; }
  T* operator->() const { return m_object; }

  // Hands the object over; the scope no longer frees it.
  T* Release() {
    T* object = m_object;
    m_object = nullptr;
    return object;
  }

 private:
  T* m_object;
};

}  // namespace kor
