#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "RecordingSink.h"
#include "TestServices.h"
#include "kor/CoreServices/Implementations/ANSI/UHugePages.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"

typedef std::vector<std::string> Calls;

namespace {

// Keeps the compiler from eliding an allocation whose block is unused.
template <class T>
T* Used(T* block) {
  asm volatile("" : : "g"(block) : "memory");
  return block;
}

// Attaches a recording sink to each of the eight slots while it lives.
struct SlotRecorder {
  Calls log;
  std::vector<RecordingSink*> sinks;
  kor::IMessageSink* previous[8];
  kor::ICoreServices& services;

  explicit SlotRecorder(kor::ICoreServices& s) : services(s) {
    for (int i = 0; i < 8; ++i) {
      sinks.push_back(new RecordingSink("slot" + std::to_string(i), &log));
      previous[i] = services.SetOutputSink(i, sinks.back());
    }
  }
  ~SlotRecorder() {
    for (int i = 0; i < 8; ++i) services.SetOutputSink(i, previous[i]);
    for (RecordingSink* sink : sinks) delete sink;
  }
  // The slots that began a message, in order.
  Calls Receivers() const {
    Calls receivers;
    for (const std::string& call : log)
      if (call.size() > 6 && call.compare(call.size() - 6, 6, ".Begin") == 0)
        receivers.push_back(call.substr(0, call.size() - 6));
    return receivers;
  }
};

}  // namespace

TEST(CoreServices, InitWiresEachChannelToItsSlotsInOrder) {
  TestCoreServices services;
  ASSERT_TRUE(services.Init(4096));
  SlotRecorder recorder(services);
  const Calls expected[8] = {
      {}, {"slot1"}, {"slot1", "slot2"}, {"slot3", "slot1"}, {"slot1", "slot3", "slot4"},
      {"slot5", "slot1"}, {"slot1", "slot3", "slot6"}, {"slot1", "slot7", "slot4"}};
  for (int channel = 0; channel < 8; ++channel) {
    recorder.log.clear();
    kor::UMessageWriter(services.GetChannel(channel), "m");
    EXPECT_EQ(expected[channel], recorder.Receivers()) << "channel " << channel;
  }
}

TEST(CoreServices, UninitialisedServicesReachNoSlot) {
  TestCoreServices services;
  SlotRecorder recorder(services);
  for (int channel = 0; channel < 8; ++channel) kor::UMessageWriter(services.GetChannel(channel), "m");
  EXPECT_TRUE(recorder.log.empty());
}

TEST(CoreServices, OutOfRangeNumbersFallBackToZero) {
  TestCoreServices services;
  services.Init(4096);
  EXPECT_EQ(services.GetChannel(0), services.GetChannel(8));
  EXPECT_EQ(services.GetChannel(0), services.GetChannel(-1));
  EXPECT_EQ(kor::CHANNEL_KIND_WARNING, services.GetChannel(7)->GetKind());
  EXPECT_EQ(services.GetOutputSlot(0), services.GetOutputSlot(9));
  RecordingSink sink;
  EXPECT_EQ(nullptr, services.SetOutputSink(9, &sink));
  EXPECT_EQ(nullptr, services.SetOutputSink(-1, &sink));
  for (int i = 0; i < 8; ++i) EXPECT_NE(&sink, services.GetOutputSlot(i)->GetSink());
}

TEST(CoreServices, OutputSlotsAreSharedByAllServices) {
  TestCoreServices one, two;
  RecordingSink sink;
  kor::IMessageSink* previous = one.SetOutputSink(3, &sink);
  EXPECT_EQ(&sink, two.GetOutputSlot(3)->GetSink());
  EXPECT_EQ(&sink, two.SetOutputSink(3, previous));
}

TEST(MemoryPool, CountsAllocationsAndZeroSizeRequests) {
  kor::UMemoryPool pool;
  EXPECT_EQ(nullptr, pool.Allocate(0, "t"));
  EXPECT_EQ(1, pool.m_currentZeroSizeAllocations);
  EXPECT_EQ(1u, pool.m_maximumZeroSizeAllocations);
  EXPECT_EQ(0u, pool.m_cumulatedAllocations);
  pool.Free(nullptr, "t");
  EXPECT_EQ(0, pool.m_currentZeroSizeAllocations);
  EXPECT_EQ(0, pool.m_currentAllocations);
  EXPECT_EQ(1u, pool.m_maximumZeroSizeAllocations);

  void* a = pool.Allocate(100, "t");
  void* b = pool.Allocate(10, "t");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(110, pool.m_usedBytes);
  EXPECT_EQ(10u, pool.m_minimumSize);
  EXPECT_EQ(100u, pool.m_maximumSize);
  pool.Free(a, "t");
  void* c = pool.Allocate(5, "t");
  EXPECT_EQ(2, pool.m_currentAllocations);
  EXPECT_EQ(2u, pool.m_maximumAllocations);  // the peak, not the count of requests
  EXPECT_EQ(3u, pool.m_cumulatedAllocations);
  pool.Free(b, "t");
  pool.Free(c, "t");
  EXPECT_EQ(0, pool.m_currentAllocations);
  EXPECT_LE(pool.m_usedBytes, 0);  // frees subtract the heap's block sizes
  EXPECT_TRUE(pool.Init(123));
}

#if defined(__linux__)
// Whether the mapping that holds address is advised for huge pages (its
// flags in /proc/self/smaps carry "hg").
bool AdvisedForHugePages(const void* address) {
  std::ifstream maps("/proc/self/smaps");
  const uintptr_t at = reinterpret_cast<uintptr_t>(address);
  bool inside = false;
  for (std::string line; std::getline(maps, line);) {
    uintptr_t begin = 0, end = 0;
    if (std::sscanf(line.c_str(), "%zx-%zx ", &begin, &end) == 2) {
      inside = begin <= at && at < end;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      std::istringstream flags(line.substr(8));
      for (std::string flag; flags >> flag;)
        if (flag == "hg") return true;
      return false;
    }
  }
  return false;
}

// Blocks of image size are advised for huge pages, inside their own bounds;
// smaller blocks are left as the heap gives them.
TEST(MemoryPool, LargeBlocksAreAdvisedForHugePages) {
  if (!std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled"))
    GTEST_SKIP() << "the system has no transparent huge pages";
  kor::UMemoryPool pool;
  const size_t huge = size_t(2) << 20;
  struct Case {
    size_t size;
    bool advised;
  };
  const Case cases[] = {{kor::HUGE_PAGE_BLOCK_THRESHOLD - 4096, false},
                        {kor::HUGE_PAGE_BLOCK_THRESHOLD, true},
                        {size_t(64) << 20, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    unsigned char* block = Used(static_cast<unsigned char*>(pool.Allocate(static_cast<unsigned>(c.size), "t")));
    ASSERT_NE(nullptr, block);
    const uintptr_t start = reinterpret_cast<uintptr_t>(block);
    const unsigned char* firstWhole = block + ((start + huge - 1) / huge * huge - start);
    EXPECT_EQ(c.advised, AdvisedForHugePages(firstWhole));
    // The partial huge page at the block's start is not advised: it may
    // be shared with another block.
    if (firstWhole != block) {
      EXPECT_FALSE(AdvisedForHugePages(block));
    }
    block[0] = block[c.size - 1] = 1;
    pool.Free(block, "t");
  }
}
#endif

// Threads reading textures at once share the pool: no count may drift.
TEST(MemoryPool, CountsStayExactWhenThreadsAllocateAtOnce) {
  kor::UMemoryPool pool;
  const int kThreads = 8, kRounds = 20000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&pool, t] {
      for (int i = 0; i < kRounds; ++i) {
        void* block = pool.Allocate(1 + (i + t) % 100, "t");
        void* none = pool.Allocate(0, "t");
        pool.Free(none, "t");
        pool.Free(block, "t");
      }
    });
  for (std::thread& thread : threads) thread.join();
  kor::UMemoryPoolCounts counts = pool.Snapshot();
  EXPECT_EQ(0, counts.m_currentAllocations);
  EXPECT_EQ(0, counts.m_currentZeroSizeAllocations);
  EXPECT_EQ(static_cast<uint64_t>(kThreads) * kRounds, counts.m_cumulatedAllocations);
  EXPECT_LE(counts.m_maximumAllocations, static_cast<uint64_t>(kThreads));
  EXPECT_EQ(1u, counts.m_minimumSize);
  EXPECT_EQ(100u, counts.m_maximumSize);
  EXPECT_LE(counts.m_usedBytes, 0);
}

TEST(MemoryPool, FreshPoolStatisticsText) {
  kor::UMessageChannel channel(kor::CHANNEL_KIND_PLAIN);
  RecordingSink sink;
  channel.AddListener(&sink);
  kor::UMemoryPool pool;
  pool.PrintStatistics(&channel);
  EXPECT_EQ(
      "memory allocator statistics:\r\n"
      "    memory currently used: 0 bytes (0.0000MB)\r\n"
      "    number of current allocations: 0\r\n"
      "    number of maximum allocations: 0\r\n"
      "    number of cumulated allocations: 0\r\n"
      "    cumulated allocation overhead: 0 bytes (0.0000MB)\r\n"
      "    average allocation size: 0 bytes (0.0000MB)\r\n"
      "    minimum allocation size: 4294967295 bytes (4096.0000MB)\r\n"
      "    maximum allocation size: 0 bytes (0.0000MB)\r\n"
      "    current number of zero-size allocations: 0\r\n"
      "    maximum number of zero-size allocations: 0\r\n"
      "\r\n",
      sink.Text());
  EXPECT_EQ(4u, sink.Calls().size());  // one message: Begin, Write, Write(\r\n), End
}

TEST(MemoryPool, StatisticsReportCountsBeforePrinting) {
  ScopedTestServices services;
  kor::UMessageChannel channel(kor::CHANNEL_KIND_PLAIN);
  RecordingSink sink;
  channel.AddListener(&sink);
  services.Pool().PrintStatistics(&channel);
  EXPECT_NE(std::string::npos, sink.Text().find("number of cumulated allocations: 0\r\n"));
}

TEST(GlobalOperators, NewAndDeleteLandInTheInstalledPool) {
  ScopedTestServices services;
  RecordingPool& pool = services.Pool();
  pool.ClearLog();
  int* single = Used(new int(5));
  int* many = Used(new int[10]);
  EXPECT_EQ(2, pool.m_currentAllocations);
  EXPECT_EQ(1, pool.CountOf("global operator new"));
  EXPECT_EQ(1, pool.CountOf("global operator new[]"));
  delete single;
  delete[] many;
  EXPECT_EQ(1, pool.CountOf("global operator delete"));
  EXPECT_EQ(1, pool.CountOf("global operator delete[]"));
  EXPECT_EQ(0, pool.m_currentAllocations);
}

namespace {
struct alignas(256) Wide {
  unsigned char bytes[256];
};
}  // namespace

TEST(GlobalOperators, AlignedNothrowAndZeroSizeFormsAreRouted) {
  ScopedTestServices services;
  RecordingPool& pool = services.Pool();
  Wide* wide = Used(new Wide);
  EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(wide) % 256);
  EXPECT_EQ(1, pool.m_currentAllocations);
  delete wide;
  Wide* wides = Used(new Wide[3]);
  EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(wides) % 256);
  delete[] wides;
  EXPECT_EQ(0, pool.m_currentAllocations);

  void* empty = ::operator new(0);
  EXPECT_NE(nullptr, empty);  // a unique block even for 0 bytes
  ::operator delete(empty);
  int* quiet = Used(new (std::nothrow) int(1));
  EXPECT_EQ(1, pool.m_currentAllocations);
  delete quiet;
  EXPECT_EQ(0, pool.m_currentAllocations);
}

TEST(GlobalOperators, ThrowingNewRaisesBadAllocInsteadOfReturningNull) {
  ScopedTestServices services;
  EXPECT_THROW((void)::operator new(static_cast<size_t>(1) << 40), std::bad_alloc);
  EXPECT_EQ(nullptr, ::operator new(static_cast<size_t>(1) << 40, std::nothrow));
}

TEST(ServicesAccessor, DefaultServicesExistWithoutInitAndInstallRestores) {
  kor::CoreServicesAccessor original = kor::GetCoreServicesAccessor();
  kor::ICoreServices* defaults = kor::GetCoreServices();
  ASSERT_NE(nullptr, defaults);
  EXPECT_EQ(0, defaults->GetChannel(7)->GetListenerNum());  // never initialised
  {
    ScopedTestServices services;
    EXPECT_EQ(&services.Services(), kor::GetCoreServices());
  }
  EXPECT_EQ(original, kor::GetCoreServicesAccessor());
  EXPECT_EQ(defaults, kor::GetCoreServices());
}

TEST(ServicesAccessor, FactoryBuildsInitialisedWindowsServices) {
  kor::ICoreServices* services = kor::CreateCoreServices_Default(4096);
  ASSERT_NE(nullptr, services);
  EXPECT_EQ(3, services->GetChannel(7)->GetListenerNum());
  void* pages = services->GetMemoryAllocator()->Allocate(10000, "test");
  ASSERT_NE(nullptr, pages);
  static_cast<unsigned char*>(pages)[9999] = 1;
  services->GetMemoryAllocator()->Free(pages, "test");
  kor::UMemoryPool* pool = services->CreateMemoryPool(64);
  ASSERT_NE(nullptr, pool);
  kor::DeleteObject(pool);
  kor::DeleteObject(services);
}

TEST(Allocators, FailuresAreReportedOnChannel7) {
  ScopedTestServices services;
  services.Services().Init(0);
  SlotRecorder recorder(services.Services());
  kor::platform_windows::UMemoryAllocator_Windows windows;
  EXPECT_EQ(nullptr, windows.Allocate(0, "empty request"));
  windows.Free(nullptr, "nowhere");
  std::string text;
  for (const std::string& call : recorder.log)
    if (call.rfind("slot7.Write:", 0) == 0) text += call.substr(12);
  EXPECT_EQ(
      "WARNING: memory allocation of 0 bytes from location \"empty request\" failed\r\n"
      "WARNING: memory release from location \"nowhere\" failed\r\n",
      text);
}
