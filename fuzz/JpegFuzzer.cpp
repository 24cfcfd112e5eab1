// A whole JPEG file read from memory: the loader must stay inside its
// buffers, refuse what libjpeg refuses with the bridge's error only, and
// return every block it took.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "FuzzImageLimits.h"
#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/ErrorDescription.h"
#include "lum/Image/LLoader_Image_JPG.h"

volatile unsigned g_sink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (ClaimsHugeJpegFrame(data, size, 1u << 22)) return 0;
  lum::LLoader_Image_JPG loader;
  kor::UStream_Memory stream(data, size);
  lum::LData_Image image;
  try {
    if (loader.Read(stream, image, nullptr)) {
      const lum::LData_ImagePart* part = image.imageData;
      if (part == nullptr || part->pixels == nullptr) std::abort();
      // Touch every byte: a short pixel array shows up as an overflow.
      size_t bytes = size_t(part->width) * size_t(part->height) * size_t(lum::LData_Image::BytesPerPixel(image.format));
      unsigned sum = 0;
      for (size_t i = 0; i < bytes; ++i) sum += part->pixels[i];
      g_sink = sum;
    }
  } catch (const kor::ErrorDescription& error) {
    if (std::strstr(error.GetMessage(), "Error during JPEG decompression") == nullptr) std::abort();
  }
  return 0;
}
