// Whole icon files read from memory.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ImageFuzzTarget.h"
#include "lum/Image/LLoader_Image_ICO.h"

namespace {

// The first image's information header may claim gigabytes of pixels that
// a few run-length bytes legally fill; such inputs only slow the run down.
bool ClaimsHugeImage(const uint8_t* data, size_t size) {
  if (size < 22) return false;
  uint32_t offset;
  std::memcpy(&offset, data + 18, 4);
  if (offset > size || size - offset < 12) return false;
  int32_t width, height;
  std::memcpy(&width, data + offset + 4, 4);
  std::memcpy(&height, data + offset + 8, 4);
  return std::llabs(int64_t(width) * (int64_t(height) / 2)) > (int64_t(1) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (ClaimsHugeImage(data, size)) return 0;
  lum::LLoader_Image_ICO loader;
  return ReadImageForFuzzing(loader, data, size);
}
