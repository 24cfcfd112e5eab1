// A whole GIF file read from memory: the loader must stay inside its
// buffers, answer with true or false only, and hand back the whole screen
// whenever it says true.
#include <cstdint>
#include <cstdlib>

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/ErrorDescription.h"
#include "lum/Image/LLoader_Image_GIF.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Screens of more pixels than a fuzzing run can afford are legal; refusing
  // them is the allocator's business, not the decoder's.
  if (size >= 10 && uint64_t(data[6] | data[7] << 8) * uint64_t(data[8] | data[9] << 8) > (1u << 22)) return 0;
  lum::LLoader_Image_GIF loader;
  kor::UStream_Memory stream(data, size);
  lum::LData_Image image;
  try {
    if (loader.Read(stream, image, nullptr)) {
      const lum::LData_ImagePart* part = image.imageData;
      if (part == nullptr) std::abort();
      size_t bytes = size_t(part->width) * size_t(part->height) * 4;
      if (bytes > 0 && part->pixels == nullptr) std::abort();
      // Touching every byte lets the sanitizers see a buffer that is short.
      volatile unsigned sum = 0;
      for (size_t i = 0; i < bytes; ++i) sum += part->pixels[i];
      (void)sum;
    }
  } catch (const kor::ErrorDescription&) {
    std::abort();  // nothing in reading a GIF raises
  }
  return 0;
}
