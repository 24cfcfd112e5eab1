// A whole BMP file read from memory: the reader must stay inside its
// buffers, answer with true or false only, and hand back a complete image
// whenever it says true.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/ErrorDescription.h"
#include "lum/Image/LLoader_Image_BMP.h"

namespace {

// A run-length bitmap of a few bytes may claim gigabytes of pixels, which
// it is legal to fill; such inputs only slow the run down.
bool ClaimsHugeBitmap(const uint8_t* data, size_t size) {
  if (size < 26) return false;
  int32_t width, height;
  std::memcpy(&width, data + 18, 4);
  std::memcpy(&height, data + 22, 4);
  return std::llabs(int64_t(width) * int64_t(height)) > (int64_t(1) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (ClaimsHugeBitmap(data, size)) return 0;
  lum::LLoader_Image_BMP loader;
  kor::UStream_Memory stream(data, size);
  lum::LData_Image image;
  try {
    if (loader.Read(stream, image, nullptr)) {
      const lum::LData_ImagePart* part = image.imageData;
      if (part == nullptr || part->pixels == nullptr) std::abort();
      // Touching every byte lets the sanitizers see a buffer that is short.
      size_t bytes = size_t(part->width) * size_t(part->height) * 4;
      volatile unsigned sum = 0;
      for (size_t i = 0; i < bytes; ++i) sum += part->pixels[i];
      (void)sum;
    }
  } catch (const kor::ErrorDescription&) {
    std::abort();  // nothing in reading a bitmap raises
  }
  return 0;
}
