// Whole TGA files read from memory. A file without image data (type 0) is
// the one success without pixels.
#include "ImageFuzzTarget.h"
#include "lum/Image/LLoader_Image_TGA.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lum::LLoader_Image_TGA loader;
  ImageFuzzRules rules;
  rules.mayHaveNoPixels = size >= 3 && data[2] == 0;
  return ReadImageForFuzzing(loader, data, size, rules);
}
