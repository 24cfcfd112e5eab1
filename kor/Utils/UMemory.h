// Memory for the system's own containers and objects: every block comes from
// the current core services' default pool and names its requester.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>

namespace kor {

class UMemoryPool;

// Location texts the containers and global operators pass to the pool.
extern const char* const LOCATION_NEW;           // "global operator new"
extern const char* const LOCATION_NEW_ARRAY;     // "global operator new[]"
extern const char* const LOCATION_DELETE;        // "global operator delete"
extern const char* const LOCATION_DELETE_ARRAY;  // "global operator delete[]"

// Returns null when the pool cannot satisfy the request (and for 0 bytes).
void* TryAllocateMemory(size_t size, const char* location);

// Throws std::bad_alloc instead of returning null for a non-zero size.
void* AllocateMemory(size_t size, const char* location);

void FreeMemory(void* block, const char* location);

// The current services' pool, looked up once for a run of requests made
// close together, as the functions above look it up for each: the services
// are replaced only at plug-in start and end, when nothing else allocates.
class UCurrentPool {
 public:
  UCurrentPool();
  void* TryAllocate(size_t size, const char* location);
  void* Allocate(size_t size, const char* location);
  void Free(void* block, const char* location);

 private:
  UMemoryPool* m_pool;  // none while no services exist
};

// A single object built in pool memory; the counterpart of DeleteObject.
template <class T, class... Args>
T* NewObject(Args&&... args) {
  void* block = AllocateMemory(sizeof(T), LOCATION_NEW);
  try {
    return new (block) T(static_cast<Args&&>(args)...);
  } catch (...) {
    FreeMemory(block, LOCATION_DELETE);
    throw;
  }
}

// Works through any base pointer: the block starts at the most derived
// object, which for a second base is not where the pointer points.
template <class T>
void DeleteObject(T* object) {
  if (object == nullptr) return;
  void* block;
  if constexpr (std::is_polymorphic<T>::value) block = dynamic_cast<void*>(object);
  else block = object;
  object->~T();
  FreeMemory(block, LOCATION_DELETE);
}

}  // namespace kor
