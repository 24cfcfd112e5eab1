// A whole PNG file read from memory: the reader must stay inside its
// buffers, answer with true or false only, and hand back a complete image
// whenever it says true.
#include <cstdint>
#include <cstdlib>

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/ErrorDescription.h"
#include "lum/Image/LLoader_Image_PNG.h"

namespace {
volatile unsigned g_pixelSum;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lum::LLoader_Image_PNG loader;
  kor::UStream_Memory stream(data, size);
  lum::LData_Image image;
  try {
    if (loader.Read(stream, image, nullptr)) {
      const lum::LData_ImagePart* part = image.imageData;
      if (part == nullptr || part->pixels == nullptr) std::abort();
      // Touching every byte lets the sanitizers see a buffer that is short.
      size_t bytes = size_t(part->width) * size_t(part->height) * size_t(lum::LData_Image::BytesPerPixel(image.format));
      unsigned sum = 0;
      for (size_t i = 0; i < bytes; ++i) sum += part->pixels[i];
      g_pixelSum = sum;
    }
  } catch (const kor::ErrorDescription&) {
    std::abort();  // nothing in reading a PNG raises
  }
  return 0;
}
