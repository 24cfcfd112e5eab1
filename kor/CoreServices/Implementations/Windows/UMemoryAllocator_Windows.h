// The Windows allocator: fresh committed pages for every request.
#pragma once

#include "kor/CoreServices/Interfaces/IMemoryAllocator.h"

namespace kor {
namespace platform_windows {

class UMemoryAllocator_Windows : public IMemoryAllocator {
 public:
  void* Allocate(unsigned size, const char* location) override;
  void Free(void* block, const char* location) override;
};

}  // namespace platform_windows
}  // namespace kor
