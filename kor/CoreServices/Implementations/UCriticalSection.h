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

}  // namespace kor
