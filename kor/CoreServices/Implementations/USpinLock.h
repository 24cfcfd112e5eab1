// A lock for a few instructions of work: taking and releasing it when no one
// else holds it is one atomic exchange and one store, where a critical
// section costs two calls into the platform. Not recursive.
#pragma once

#include <atomic>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KOR_SPIN_PAUSE() _mm_pause()
#else
#define KOR_SPIN_PAUSE() ((void)0)
#endif

namespace kor {

class USpinLock {
 public:
  USpinLock() = default;
  USpinLock(const USpinLock&) = delete;
  USpinLock& operator=(const USpinLock&) = delete;

  void Lock() {
    while (m_held.exchange(true, std::memory_order_acquire)) {
      // Wait by reading, which does not take the line from the holder; a
      // holder that lost its processor is given it back.
      for (int spins = 0; m_held.load(std::memory_order_relaxed); ++spins) {
        if (spins < SPINS_BEFORE_YIELD) KOR_SPIN_PAUSE();
        else std::this_thread::yield();
      }
    }
  }
  void Unlock() { m_held.store(false, std::memory_order_release); }

 private:
  enum { SPINS_BEFORE_YIELD = 64 };
  std::atomic<bool> m_held{false};
};

// Holds a spin lock for the lifetime of a scope.
class USpinLockHold {
 public:
  explicit USpinLockHold(USpinLock& lock) : m_lock(lock) { m_lock.Lock(); }
  USpinLockHold(const USpinLockHold&) = delete;
  USpinLockHold& operator=(const USpinLockHold&) = delete;
  ~USpinLockHold() { m_lock.Unlock(); }

 private:
  USpinLock& m_lock;
};

}  // namespace kor
