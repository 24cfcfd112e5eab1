// stb_image as the independent decoder of GIF files that have no reference
// decode of their own. Its functions stay private to this file, so that no
// other copy of stb_image linked beside it clashes.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_GIF
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include "GifHdrTestSupport.h"

bool DecodeGifWithStb(const Bytes& file, int& width, int& height, Bytes& rgba) {
  int channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &width, &height, &channels, 4);
  if (pixels == nullptr) return false;
  rgba.assign(pixels, pixels + static_cast<size_t>(width) * height * 4);
  stbi_image_free(pixels);
  return true;
}
