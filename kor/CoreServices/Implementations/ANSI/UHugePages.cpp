#include "kor/CoreServices/Implementations/ANSI/UHugePages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kor {

#if defined(__linux__) && defined(MADV_HUGEPAGE)

namespace {

// The size of a huge page on the processors the system runs on.
const uintptr_t HUGE_PAGE_SIZE = uintptr_t(2) << 20;

}  // namespace

// The heap does not align its blocks to huge pages: only the whole huge
// pages inside the block are advised, so nothing outside it changes.
void PreferHugePages(void* block, size_t size) {
  if (block == nullptr || size < HUGE_PAGE_BLOCK_THRESHOLD) return;
  const uintptr_t start = reinterpret_cast<uintptr_t>(block);
  const uintptr_t first = (start + HUGE_PAGE_SIZE - 1) & ~(HUGE_PAGE_SIZE - 1);
  const uintptr_t end = (start + size) & ~(HUGE_PAGE_SIZE - 1);
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

#else

void PreferHugePages(void*, size_t) {}

#endif

}  // namespace kor
