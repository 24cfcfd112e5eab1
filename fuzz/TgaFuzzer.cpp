// A whole TGA file read from memory: the reader must stay inside its
// buffers, answer with true or false only, and hand back a complete image
// whenever it says true with pixels.
#include <cstdint>
#include <cstdlib>

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/ErrorDescription.h"
#include "lum/Image/LLoader_Image_TGA.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lum::LLoader_Image_TGA loader;
  kor::UStream_Memory stream(data, size);
  lum::LData_Image image;
  try {
    if (loader.Read(stream, image, nullptr)) {
      const lum::LData_ImagePart* part = image.imageData;
      if (part == nullptr) std::abort();
      if (part->pixels == nullptr) {
        // Files without image data (type 0) are the one success without pixels.
        if (size < 3 || data[2] != 0) std::abort();
        return 0;
      }
      // Touching every byte lets the sanitizers see a buffer that is short.
      size_t bytes = size_t(part->width) * size_t(part->height) * size_t(lum::LData_Image::BytesPerPixel(image.format));
      volatile unsigned sum = 0;
      for (size_t i = 0; i < bytes; ++i) sum += part->pixels[i];
      (void)sum;
    }
  } catch (const kor::ErrorDescription&) {
    std::abort();  // nothing in reading a TGA file raises
  }
  return 0;
}
