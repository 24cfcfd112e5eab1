// The image fuzzers skip inputs whose JPEG frames claim more pixels than a
// fuzzing run can afford to allocate and clear: such sizes are legal, and
// refusing them is the allocator's business, not the decoders'.
#pragma once

#include <cstddef>
#include <cstdint>

// True when some start-of-frame marker in data declares more than
// maxPixels pixels. Markers split across chunks are not seen; a rare miss
// costs one slow input, not a wrong result.
inline bool ClaimsHugeJpegFrame(const uint8_t* data, size_t size, uint64_t maxPixels) {
  for (size_t i = 0; i + 9 <= size; ++i) {
    if (data[i] != 0xFF) continue;
    uint8_t marker = data[i + 1];
    bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (!frame) continue;
    uint64_t height = (uint64_t(data[i + 5]) << 8) | data[i + 6];
    uint64_t width = (uint64_t(data[i + 7]) << 8) | data[i + 8];
    if (width * height > maxPixels) return true;
  }
  return false;
}
