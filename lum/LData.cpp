#include "lum/LData.h"

#include "Win32Kernel.h"

namespace lum {

// The kernel's counter type is 32 bits wide on every platform it has.
static_assert(sizeof(LONG) == sizeof(int32_t), "interlocked counters are 32-bit");

static volatile LONG* Counter(volatile int32_t* count) {
  return reinterpret_cast<volatile LONG*>(count);
}

int32_t LData::AddRef() { return InterlockedIncrement(Counter(&m_refCount)); }

int32_t LData::Release() { return InterlockedDecrement(Counter(&m_refCount)); }

}  // namespace lum
