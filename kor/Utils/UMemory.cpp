#include "kor/Utils/UMemory.h"

#include <cstdint>
#include <cstdlib>

#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/CoreServices/Implementations/UMemoryPool.h"

namespace kor {

const char* const LOCATION_NEW = "global operator new";
const char* const LOCATION_NEW_ARRAY = "global operator new[]";
const char* const LOCATION_DELETE = "global operator delete";
const char* const LOCATION_DELETE_ARRAY = "global operator delete[]";

// While no services exist (being built, or gone at process end) blocks come
// from and return to the C heap, which is also where every pool takes them.
void* TryAllocateMemory(size_t size, const char* location) {
  if (size > UINT32_MAX) return nullptr;  // the pool counts sizes in 32 bits
  ICoreServices* services = GetCoreServices();
  if (services == nullptr) return size ? std::malloc(size) : nullptr;
  return services->GetMemoryPool()->Allocate(static_cast<unsigned>(size), location);
}

void* AllocateMemory(size_t size, const char* location) {
  void* block = TryAllocateMemory(size, location);
  if (block == nullptr && size != 0) throw std::bad_alloc();
  return block;
}

void FreeMemory(void* block, const char* location) {
  ICoreServices* services = GetCoreServices();
  if (services == nullptr) {
    std::free(block);
    return;
  }
  services->GetMemoryPool()->Free(block, location);
}

}  // namespace kor
