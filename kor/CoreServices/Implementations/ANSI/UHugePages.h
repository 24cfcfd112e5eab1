// Large heap blocks on huge pages: a block of image size is otherwise
// faulted in, zeroed and unmapped 4 KiB at a time, which costs more than
// the decoder's own work on it.
#pragma once

#include <cstddef>

namespace kor {

// Blocks of this size and above are worth asking huge pages for: they
// hold at least one whole huge page wherever the heap places them.
const size_t HUGE_PAGE_BLOCK_THRESHOLD = size_t(4) << 20;

// Asks the system to back the whole huge pages inside a block of size
// bytes with huge pages, for blocks at or above the threshold. Only a
// hint: where the system has no such pages nothing changes.
void PreferHugePages(void* block, size_t size);

}  // namespace kor
