// Whole JNG files read from memory: what libjpeg refuses ends in the
// bridge's error, and nothing else is raised.
#include "FuzzImageLimits.h"
#include "ImageFuzzTarget.h"
#include "lum/Image/LLoader_Image_JNG.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (ClaimsHugeJpegFrame(data, size, 1u << 22)) return 0;
  lum::LLoader_Image_JNG loader;
  ImageFuzzRules rules;
  rules.allowedError = "Error during JPEG decompression";
  return ReadImageForFuzzing(loader, data, size, rules);
}
