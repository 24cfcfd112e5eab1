// A whole Radiance file read from memory, header through the text parser
// and pixels in every scanline form: the loader must stay inside its
// buffers, answer with true or false only, and hand back every pixel
// whenever it says true.
#include <cstdint>
#include <cstdlib>

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/ErrorDescription.h"
#include "lum/Image/LLoader_Image_HDR.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lum::LLoader_Image_HDR loader;
  kor::UStream_Memory stream(data, size);
  try {
    // Sizes of more pixels than a fuzzing run can afford are legal; refusing
    // them is the allocator's business, not the decoder's.
    lum::LData_Image info;
    if (loader.ReadInfo(stream, info, nullptr) &&
        uint64_t(info.imageData->width) * uint64_t(info.imageData->height) > (1u << 20))
      return 0;
    stream.SeekToBegin();
    lum::LData_Image image;
    if (loader.Read(stream, image, nullptr)) {
      const lum::LData_ImagePart* part = image.imageData;
      if (part == nullptr) std::abort();
      size_t bytes = size_t(part->width) * size_t(part->height) * 16;
      if (bytes > 0 && part->pixels == nullptr) std::abort();
      volatile unsigned sum = 0;
      for (size_t i = 0; i < bytes; ++i) sum += part->pixels[i];
      (void)sum;
    }
  } catch (const kor::ErrorDescription&) {
    std::abort();  // nothing in reading a Radiance file raises
  }
  return 0;
}
