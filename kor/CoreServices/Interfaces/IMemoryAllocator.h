// The allocation operations that allocators and memory pools share.
#pragma once

namespace kor {

class IMemoryAllocator {
 public:
  virtual ~IMemoryAllocator() noexcept(false) {}
  // Null when the request cannot be met (and, for pools, for 0 bytes).
  virtual void* Allocate(unsigned size, const char* location) = 0;
  virtual void Free(void* block, const char* location) = 0;
};

}  // namespace kor
