// Critical sections, interlocked counters and pages.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Win32Kernel.h"

namespace {

TEST(CriticalSection, TheOwnerReentersAndOthersWaitForTheLastLeave) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EnterCriticalSection(&section);  // would deadlock if the lock were not recursive
  std::atomic<bool> entered(false);
  std::thread other([&] {
    EnterCriticalSection(&section);
    entered = true;
    LeaveCriticalSection(&section);
  });
  LeaveCriticalSection(&section);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(entered) << "another thread entered while the owner still held the lock once";
  LeaveCriticalSection(&section);
  other.join();
  EXPECT_TRUE(entered);
  DeleteCriticalSection(&section);
}

TEST(Interlocked, ReturnsTheNewValueAndLosesNoUpdates) {
  LONG volatile counter = 0;
  EXPECT_EQ(InterlockedIncrement(&counter), 1);
  EXPECT_EQ(InterlockedDecrement(&counter), 0);
  EXPECT_EQ(InterlockedDecrement(&counter), -1);
  EXPECT_EQ(InterlockedIncrement(&counter), 0);

  const int kThreads = 4, kSteps = 20000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < kSteps; ++i) {
        InterlockedIncrement(&counter);
        InterlockedIncrement(&counter);
        InterlockedDecrement(&counter);
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, kThreads * kSteps);
}

TEST(VirtualMemory, GivesZeroedWritablePagesAndReleasesThemWhole) {
  const SIZE_T size = 3 * 4096 + 17;
  unsigned char* pages =
      static_cast<unsigned char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE,
                                               PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(pages) % static_cast<uintptr_t>(sysconf(_SC_PAGESIZE)),
            0u);
  std::vector<unsigned char> zeros(size, 0);
  EXPECT_EQ(std::memcmp(pages, zeros.data(), size), 0);
  std::memset(pages, 0xA5, size);
  EXPECT_EQ(pages[size - 1], 0xA5);
  // Releasing takes size 0 and the address VirtualAlloc gave.
  EXPECT_FALSE(VirtualFree(pages, size, MEM_RELEASE));
  EXPECT_TRUE(VirtualFree(pages, 0, MEM_RELEASE));

  EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_FALSE(VirtualFree(nullptr, 0, MEM_RELEASE));
}

}  // namespace
