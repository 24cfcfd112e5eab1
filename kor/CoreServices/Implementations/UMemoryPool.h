// The default memory pool: C heap blocks, counted.
#pragma once

#include <cstdint>

#include "kor/CoreServices/Implementations/USpinLock.h"
#include "kor/CoreServices/Interfaces/IMemoryAllocator.h"

namespace kor {

class IMessageSink;

// What a pool has counted; a copy is a snapshot.
struct UMemoryPoolCounts {
  int64_t m_usedBytes = 0;
  int64_t m_currentAllocations = 0;
  uint64_t m_maximumAllocations = 0;
  uint64_t m_cumulatedAllocations = 0;
  uint64_t m_cumulatedOverhead = 0;
  uint64_t m_averageSize = 0;
  uint64_t m_minimumSize = 4294967295u;
  uint64_t m_maximumSize = 0;
  int64_t m_currentZeroSizeAllocations = 0;
  uint64_t m_maximumZeroSizeAllocations = 0;
};

// Threads allocate at once: the counts change under a lock of the pool's own,
// so they neither drift nor disagree with one another. The lock is held for
// a few additions only, never around the heap or a message.
class UMemoryPool : public IMemoryAllocator, public UMemoryPoolCounts {
 public:
  UMemoryPool() = default;
  ~UMemoryPool() noexcept(false) override {}

  void* Allocate(unsigned size, const char* location) override;
  void Free(void* block, const char* location) override;
  virtual bool Init(int blockSize);
  virtual void Destroy();
  virtual void PrintStatistics(IMessageSink* channel);

  // The counts as one consistent whole, while other threads go on allocating.
  UMemoryPoolCounts Snapshot();

 private:
  USpinLock m_countsLock;
};

}  // namespace kor
