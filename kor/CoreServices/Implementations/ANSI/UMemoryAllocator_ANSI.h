// The portable allocator: the C heap, reporting failures on channel 7.
#pragma once

#include "kor/CoreServices/Interfaces/IMemoryAllocator.h"

namespace kor {

class UMemoryAllocator_ANSI : public IMemoryAllocator {
 public:
  void* Allocate(unsigned size, const char* location) override;
  void Free(void* block, const char* location) override;
};

// Writes "memory allocation of <size> bytes from location "<location>" failed"
// on channel 7 of the current services.
void ReportAllocationFailure(unsigned size, const char* location);

}  // namespace kor
