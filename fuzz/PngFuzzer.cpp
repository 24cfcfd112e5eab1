// Whole PNG files read from memory.
#include "ImageFuzzTarget.h"
#include "lum/Image/LLoader_Image_PNG.h"
#include "lum/Image/LPngGreyInPlace.h"

// Grey images of any size are restored in two parts where their rows allow,
// as otherwise only large ones are.
static const uint64_t s_greyInTwoParts = lum::SetGreyInTwoPartsPixels(0);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lum::LLoader_Image_PNG loader;
  return ReadImageForFuzzing(loader, data, size);
}
