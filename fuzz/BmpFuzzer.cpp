// Whole BMP files read from memory.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ImageFuzzTarget.h"
#include "lum/Image/LLoader_Image_BMP.h"

namespace {

// A run-length bitmap of a few bytes may claim gigabytes of pixels, which
// it is legal to fill; such inputs only slow the run down.
bool ClaimsHugeBitmap(const uint8_t* data, size_t size) {
  if (size < 26) return false;
  int32_t width, height;
  std::memcpy(&width, data + 18, 4);
  std::memcpy(&height, data + 22, 4);
  return std::llabs(int64_t(width) * int64_t(height)) > (int64_t(1) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (ClaimsHugeBitmap(data, size)) return 0;
  lum::LLoader_Image_BMP loader;
  return ReadImageForFuzzing(loader, data, size);
}
