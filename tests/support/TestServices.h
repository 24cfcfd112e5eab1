// Core services of a test's own, installed for the test's lifetime, with a
// pool that remembers the location texts of its recent requests.
#pragma once

#include <atomic>
#include <cstring>

#include "kor/CoreServices/Implementations/CoreServicesVariants.h"

class RecordingPool : public kor::UMemoryPool {
 public:
  enum { LOG_SIZE = 64 };

  void* Allocate(unsigned size, const char* location) override {
    Record(location);
    return kor::UMemoryPool::Allocate(size, location);
  }
  void Free(void* block, const char* location) override {
    Record(location);
    kor::UMemoryPool::Free(block, location);
  }

  void ClearLog() { m_logged.store(0); }
  int CountOf(const char* location) const {
    int count = 0;
    for (int i = 0; i < m_logged && i < LOG_SIZE; ++i)
      if (std::strcmp(m_log[i], location) == 0) ++count;
    return count;
  }
  int Logged() const { return m_logged.load(); }

 private:
  // A fixed log: recording must not allocate. Decoders allocate from more
  // than one thread: each record takes a slot of its own.
  void Record(const char* location) {
    int slot = m_logged.fetch_add(1);
    if (slot < LOG_SIZE) m_log[slot] = location;
  }
  const char* m_log[LOG_SIZE] = {};
  std::atomic<int> m_logged{0};
};

typedef kor::UCoreServices<kor::UMemoryAllocator_ANSI, RecordingPool, kor::UFileSystem_ANSI>
    TestCoreServices;

// Installs services of its own while it lives and restores the accessor after.
class ScopedTestServices {
 public:
  ScopedTestServices() {
    Current() = &m_services;
    m_previous = kor::SetCoreServicesAccessor(&Accessor);
  }
  ~ScopedTestServices() {
    kor::SetCoreServicesAccessor(m_previous);
    Current() = nullptr;
  }
  TestCoreServices& Services() { return m_services; }
  RecordingPool& Pool() { return *static_cast<RecordingPool*>(m_services.GetMemoryPool()); }

 private:
  static kor::ICoreServices*& Current() {
    static kor::ICoreServices* current = nullptr;
    return current;
  }
  static kor::ICoreServices* Accessor() { return Current(); }

  TestCoreServices m_services;
  kor::CoreServicesAccessor m_previous;
};
