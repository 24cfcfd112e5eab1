// Whole JNG files read from memory: what the JPEG library refuses ends in the
// bridge's error, and nothing else is raised. No input is skipped for the size
// its frame claims: a claim its scan data could not code is refused unread.
#include "ImageFuzzTarget.h"
#include "lum/Image/LLoader_Image_JNG.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lum::LLoader_Image_JNG loader;
  ImageFuzzRules rules;
  rules.allowedError = "Error during JPEG decompression";
  return ReadImageForFuzzing(loader, data, size, rules);
}
