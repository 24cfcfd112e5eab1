#include "kor/CoreServices/Implementations/UMemoryPool.h"

#include <cstdlib>
#if defined(_WIN32)
#include <malloc.h>
#define KOR_BLOCK_SIZE(p) _msize(p)
#else
#include <malloc.h>
#define KOR_BLOCK_SIZE(p) malloc_usable_size(p)
#endif

#include "kor/CoreServices/Implementations/ANSI/UHugePages.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"

namespace kor {

// The maxima record the peaks of the current counts. The heap is called
// outside the lock; a block the heap refuses is not counted. Blocks of
// image size go on huge pages.
void* UMemoryPool::Allocate(unsigned size, const char* /*location*/) {
  if (size == 0) {
    USpinLockHold hold(m_countsLock);
    ++m_currentZeroSizeAllocations;
    if (static_cast<uint64_t>(m_currentZeroSizeAllocations) > m_maximumZeroSizeAllocations)
      m_maximumZeroSizeAllocations = static_cast<uint64_t>(m_currentZeroSizeAllocations);
    return nullptr;
  }
  void* block = std::malloc(size);
  if (block == nullptr) return nullptr;
  PreferHugePages(block, size);
  USpinLockHold hold(m_countsLock);
  ++m_currentAllocations;
  ++m_cumulatedAllocations;
  if (m_currentAllocations > 0 && static_cast<uint64_t>(m_currentAllocations) > m_maximumAllocations)
    m_maximumAllocations = static_cast<uint64_t>(m_currentAllocations);
  if (size < m_minimumSize) m_minimumSize = size;
  if (size > m_maximumSize) m_maximumSize = size;
  m_usedBytes += size;
  return block;
}

void UMemoryPool::Free(void* block, const char* /*location*/) {
  if (block == nullptr) {
    USpinLockHold hold(m_countsLock);
    --m_currentZeroSizeAllocations;
    return;
  }
  const int64_t bytes = static_cast<int64_t>(KOR_BLOCK_SIZE(block));
  std::free(block);
  USpinLockHold hold(m_countsLock);
  --m_currentAllocations;
  m_usedBytes -= bytes;
}

UMemoryPoolCounts UMemoryPool::Snapshot() {
  USpinLockHold hold(m_countsLock);
  return *this;
}

bool UMemoryPool::Init(int /*blockSize*/) { return true; }

void UMemoryPool::Destroy() {}

namespace {

const double kMegabytesPerByte = 9.5367431640625e-7;

void WriteBytes(UMessageWriter& writer, const char* label, uint64_t value) {
  writer << label << value << " bytes (" << static_cast<double>(value) * kMegabytesPerByte
         << "MB)\r\n";
}

}  // namespace

void UMemoryPool::PrintStatistics(IMessageSink* channel) {
  // Composing the text allocates; report the counts as they were before.
  const UMemoryPoolCounts s = Snapshot();
  UMessageWriter writer(channel, "memory allocator statistics:");
  writer << "\r\n";
  writer << "    memory currently used: " << s.m_usedBytes << " bytes ("
         << static_cast<double>(s.m_usedBytes) * kMegabytesPerByte << "MB)\r\n";
  writer << "    number of current allocations: " << s.m_currentAllocations << "\r\n";
  writer << "    number of maximum allocations: " << s.m_maximumAllocations << "\r\n";
  writer << "    number of cumulated allocations: " << s.m_cumulatedAllocations << "\r\n";
  WriteBytes(writer, "    cumulated allocation overhead: ", s.m_cumulatedOverhead);
  WriteBytes(writer, "    average allocation size: ", s.m_averageSize);
  WriteBytes(writer, "    minimum allocation size: ", s.m_minimumSize);
  WriteBytes(writer, "    maximum allocation size: ", s.m_maximumSize);
  writer << "    current number of zero-size allocations: " << s.m_currentZeroSizeAllocations
         << "\r\n";
  writer << "    maximum number of zero-size allocations: " << s.m_maximumZeroSizeAllocations
         << "\r\n";
}

}  // namespace kor
