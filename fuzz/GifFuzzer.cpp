// Whole GIF files read from memory.
#include "ImageFuzzTarget.h"
#include "lum/Image/LLoader_Image_GIF.h"

namespace {

// A logical screen of a few bytes may claim gigabytes of pixels, which the
// reader legally allocates and fills; such inputs only slow the run down.
bool ClaimsHugeScreen(const uint8_t* data, size_t size) {
  if (size < 10) return false;
  uint64_t width = data[6] | (data[7] << 8);
  uint64_t height = data[8] | (data[9] << 8);
  return width * height > (uint64_t(1) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (ClaimsHugeScreen(data, size)) return 0;
  lum::LLoader_Image_GIF loader;
  return ReadImageForFuzzing(loader, data, size);
}
