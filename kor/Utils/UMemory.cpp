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
UCurrentPool::UCurrentPool() {
  ICoreServices* services = GetCoreServices();
  m_pool = services ? services->GetMemoryPool() : nullptr;
}

void* UCurrentPool::TryAllocate(size_t size, const char* location) {
  if (size > UINT32_MAX) return nullptr;  // the pool counts sizes in 32 bits
  if (m_pool == nullptr) return size ? std::malloc(size) : nullptr;
  return m_pool->Allocate(static_cast<unsigned>(size), location);
}

void* UCurrentPool::Allocate(size_t size, const char* location) {
  void* block = TryAllocate(size, location);
  if (block == nullptr && size != 0) throw std::bad_alloc();
  return block;
}

void UCurrentPool::Free(void* block, const char* location) {
  if (m_pool == nullptr) std::free(block);
  else m_pool->Free(block, location);
}

void* TryAllocateMemory(size_t size, const char* location) { return UCurrentPool().TryAllocate(size, location); }

void* AllocateMemory(size_t size, const char* location) { return UCurrentPool().Allocate(size, location); }

void FreeMemory(void* block, const char* location) { UCurrentPool().Free(block, location); }

}  // namespace kor
