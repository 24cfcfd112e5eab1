// Whole GIF files read from memory.
#include "ImageFuzzTarget.h"
#include "lum/Image/LLoader_Image_GIF.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lum::LLoader_Image_GIF loader;
  return ReadImageForFuzzing(loader, data, size);
}
