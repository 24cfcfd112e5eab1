// The transfer steps of the Windows file streams: each Serialize is exactly
// one ReadFile or WriteFile, without buffering of its own.
#pragma once

#include <cstdint>

#include "Win32Kernel.h"

namespace kor {
namespace platform_windows {

class UFileWindows_SerializingPolicy_Input {
 public:
  // Reads up to size bytes (below 2^31) at the file's position; returns the
  // count ReadFile reports, 0 on failure or for a closed (null) handle.
  uint64_t Serialize(HANDLE file, void* buffer, uint64_t size);
};

class UFileWindows_SerializingPolicy_Output {
 public:
  // Writes size bytes (below 2^31); returns the count WriteFile reports.
  uint64_t Serialize(HANDLE file, const void* buffer, uint64_t size);
};

}  // namespace platform_windows
}  // namespace kor
