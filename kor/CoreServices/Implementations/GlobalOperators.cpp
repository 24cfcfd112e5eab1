// Every global allocation of the process goes to the default pool of the
// services current at the time of the call.
#include <cstdint>
#include <cstring>
#include <new>

#include "kor/Utils/UMemory.h"

namespace {

// The pool returns null for 0 bytes, but C++ requires a unique block.
void* AllocateOrNull(size_t size, const char* location) {
  return kor::TryAllocateMemory(size ? size : 1, location);
}

void* AllocateOrThrow(size_t size, const char* location) {
  void* block = AllocateOrNull(size, location);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

// Over-aligned blocks are carved out of a larger pool block; the pool's own
// address is kept just below the aligned one so that delete can return it.
void* AllocateAligned(size_t size, std::align_val_t alignment, const char* location) {
  size_t align = static_cast<size_t>(alignment);
  if (align < sizeof(void*)) align = sizeof(void*);
  if (size > SIZE_MAX - align - sizeof(void*)) return nullptr;
  void* raw = kor::TryAllocateMemory(size + align + sizeof(void*), location);
  if (raw == nullptr) return nullptr;
  uintptr_t aligned = (reinterpret_cast<uintptr_t>(raw) + sizeof(void*) + align - 1) & ~(align - 1);
  std::memcpy(reinterpret_cast<void*>(aligned - sizeof(void*)), &raw, sizeof raw);
  return reinterpret_cast<void*>(aligned);
}

void FreeAligned(void* block, const char* location) {
  if (block == nullptr) {
    kor::FreeMemory(nullptr, location);
    return;
  }
  void* raw;
  std::memcpy(&raw, static_cast<unsigned char*>(block) - sizeof(void*), sizeof raw);
  kor::FreeMemory(raw, location);
}

void* AllocateAlignedOrThrow(size_t size, std::align_val_t alignment, const char* location) {
  void* block = AllocateAligned(size, alignment, location);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

void* operator new(size_t size) { return AllocateOrThrow(size, kor::LOCATION_NEW); }
void* operator new[](size_t size) { return AllocateOrThrow(size, kor::LOCATION_NEW_ARRAY); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, kor::LOCATION_NEW);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, kor::LOCATION_NEW_ARRAY);
}

void operator delete(void* block) noexcept { kor::FreeMemory(block, kor::LOCATION_DELETE); }
void operator delete[](void* block) noexcept { kor::FreeMemory(block, kor::LOCATION_DELETE_ARRAY); }
void operator delete(void* block, size_t) noexcept { kor::FreeMemory(block, kor::LOCATION_DELETE); }
void operator delete[](void* block, size_t) noexcept {
  kor::FreeMemory(block, kor::LOCATION_DELETE_ARRAY);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  kor::FreeMemory(block, kor::LOCATION_DELETE);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  kor::FreeMemory(block, kor::LOCATION_DELETE_ARRAY);
}

void* operator new(size_t size, std::align_val_t alignment) {
  return AllocateAlignedOrThrow(size, alignment, kor::LOCATION_NEW);
}
void* operator new[](size_t size, std::align_val_t alignment) {
  return AllocateAlignedOrThrow(size, alignment, kor::LOCATION_NEW_ARRAY);
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, alignment, kor::LOCATION_NEW);
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, alignment, kor::LOCATION_NEW_ARRAY);
}
void operator delete(void* block, std::align_val_t) noexcept {
  FreeAligned(block, kor::LOCATION_DELETE);
}
void operator delete[](void* block, std::align_val_t) noexcept {
  FreeAligned(block, kor::LOCATION_DELETE_ARRAY);
}
void operator delete(void* block, size_t, std::align_val_t) noexcept {
  FreeAligned(block, kor::LOCATION_DELETE);
}
void operator delete[](void* block, size_t, std::align_val_t) noexcept {
  FreeAligned(block, kor::LOCATION_DELETE_ARRAY);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  FreeAligned(block, kor::LOCATION_DELETE);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  FreeAligned(block, kor::LOCATION_DELETE_ARRAY);
}
