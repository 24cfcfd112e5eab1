// Whole PNG files read from memory.
#include "ImageFuzzTarget.h"
#include "lum/Image/LLoader_Image_PNG.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lum::LLoader_Image_PNG loader;
  return ReadImageForFuzzing(loader, data, size);
}
