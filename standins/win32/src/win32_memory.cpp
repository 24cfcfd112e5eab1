#include "Win32Kernel.h"

#include <sys/mman.h>

#include <cstring>

// VirtualFree with MEM_RELEASE takes no size, so each mapping carries its
// length in a header page in front of the caller's pages.
namespace {
const size_t kHeader = 4096;
}

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
  if (address != nullptr || size == 0 || (allocationType & MEM_COMMIT) == 0 ||
      protect != PAGE_READWRITE || size > SIZE_MAX - kHeader)
    return nullptr;
  void* block = mmap(nullptr, size + kHeader, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  size_t total = size + kHeader;
  std::memcpy(block, &total, sizeof total);
  return static_cast<unsigned char*>(block) + kHeader;
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType) {
  if (address == nullptr || size != 0 || freeType != MEM_RELEASE) return FALSE;
  unsigned char* block = static_cast<unsigned char*>(address) - kHeader;
  size_t total;
  std::memcpy(&total, block, sizeof total);
  return munmap(block, total) == 0 ? TRUE : FALSE;
}
