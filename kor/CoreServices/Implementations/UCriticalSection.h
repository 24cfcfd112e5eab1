// A lockable base over a platform critical section (recursive for its owner).
#pragma once

#include "Win32Kernel.h"

namespace kor {

class UCriticalSection {
 public:
  UCriticalSection() { InitializeCriticalSection(&m_section); }
  UCriticalSection(const UCriticalSection&) = delete;
  UCriticalSection& operator=(const UCriticalSection&) = delete;
  ~UCriticalSection() { DeleteCriticalSection(&m_section); }

  void EnterSection() { EnterCriticalSection(&m_section); }
  void LeaveSection() { LeaveCriticalSection(&m_section); }

 private:
  CRITICAL_SECTION m_section;
};

// Holds a section for the lifetime of a scope.
class UCriticalSectionLock {
 public:
  explicit UCriticalSectionLock(UCriticalSection& section) : m_section(section) {
    m_section.EnterSection();
  }
  UCriticalSectionLock(const UCriticalSectionLock&) = delete;
  UCriticalSectionLock& operator=(const UCriticalSectionLock&) = delete;
  ~UCriticalSectionLock() { m_section.LeaveSection(); }

 private:
  UCriticalSection& m_section;
};

}  // namespace kor
