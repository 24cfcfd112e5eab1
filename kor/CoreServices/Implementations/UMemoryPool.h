// The default memory pool: C heap blocks, counted.
#pragma once

#include <cstdint>

#include "kor/CoreServices/Interfaces/IMemoryAllocator.h"

namespace kor {

class IMessageSink;

class UMemoryPool : public IMemoryAllocator {
 public:
  UMemoryPool();
  ~UMemoryPool() noexcept(false) override {}

  void* Allocate(unsigned size, const char* location) override;
  void Free(void* block, const char* location) override;
  virtual bool Init(int blockSize);
  virtual void Destroy();
  virtual void PrintStatistics(IMessageSink* channel);

  int64_t m_usedBytes;
  int64_t m_currentAllocations;
  uint64_t m_maximumAllocations;
  uint64_t m_cumulatedAllocations;
  uint64_t m_cumulatedOverhead;
  uint64_t m_averageSize;
  uint64_t m_minimumSize;
  uint64_t m_maximumSize;
  int64_t m_currentZeroSizeAllocations;
  uint64_t m_maximumZeroSizeAllocations;
};

}  // namespace kor
