// Whole Radiance files read from memory, the header through the text
// parser and the pixels in every scanline form.
#include "ImageFuzzTarget.h"
#include "lum/Image/LLoader_Image_HDR.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lum::LLoader_Image_HDR loader;
  // Sizes of more pixels than a fuzzing run can afford are legal; refusing
  // them is the allocator's business, not the decoder's.
  kor::UStream_Memory stream(data, size);
  lum::LData_Image info;
  try {
    if (loader.ReadInfo(stream, info, nullptr) &&
        uint64_t(info.imageData->width) * uint64_t(info.imageData->height) > (1u << 20))
      return 0;
  } catch (const kor::ErrorDescription&) {
    std::abort();  // nothing in reading a Radiance header raises
  }
  return ReadImageForFuzzing(loader, data, size);
}
