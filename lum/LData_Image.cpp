#include "lum/LData_Image.h"

#include <cstddef>

#include "kor/ErrorDescription.h"

namespace lum {

LData_ImagePart::LData_ImagePart(int partWidth, int partHeight)
    : part(IP_DEFAULT),
      width(partWidth),
      height(partHeight),
      depth(1),
      pixels(nullptr),
      extraPart1(nullptr),
      extraPart2(nullptr) {}

LData_ImagePart::~LData_ImagePart() noexcept(false) {
  delete extraPart2;
  delete extraPart1;
  delete[] pixels;
}

void LData_ImagePart::SetPixels(unsigned char* newPixels) {
  // Handing over the array already held must not free it under the caller.
  if (newPixels == pixels) return;
  delete[] pixels;
  pixels = newPixels;
}

LData_Image::LData_Image(const kor::UString& imageName)
    : name(imageName), dimension(TEXTURE_DIMENSION_2D), format(TEXTURE_FORMAT_NONE), imageData(nullptr) {}

LData_Image::~LData_Image() noexcept(false) { delete imageData; }

void LData_Image::SetImageData(LData_ImagePart* part) {
  if (part == imageData) return;
  LData_ImagePart* previous = imageData;
  imageData = part;
  delete previous;
}

int LData_Image::BytesPerPixel(int format) {
  const LTextureFormatDescriptor& descriptor = GetTextureFormatDescriptor(format);
  int bits = 0;
  for (int channel = 0; channel < TEXTURE_CHANNEL_NUM; ++channel) bits += descriptor.bits[channel];
  return bits / 8;
}

namespace {

void SwapBytes(unsigned char* a, unsigned char* b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    unsigned char kept = a[i];
    a[i] = b[i];
    b[i] = kept;
  }
}

void ReverseRows(unsigned char* pixels, size_t stride, size_t height) {
  for (size_t top = 0, bottom = height; top + 1 < bottom; ++top, --bottom)
    SwapBytes(pixels + top * stride, pixels + (bottom - 1) * stride, stride);
}

void MirrorRows(unsigned char* pixels, size_t pixelSize, size_t width, size_t height) {
  for (size_t row = 0; row < height; ++row) {
    unsigned char* line = pixels + row * width * pixelSize;
    for (size_t left = 0, right = width; left + 1 < right; ++left, --right)
      SwapBytes(line + left * pixelSize, line + (right - 1) * pixelSize, pixelSize);
  }
}

}  // namespace

// Works in place by swapping: the same result as copying through a
// temporary image, without the allocation. The pixel size is the format's
// own, so no format makes the walk leave the pixel array.
bool LData_Image::Flip(bool vertical) {
  KOR_GUARD_BEGIN
  if (imageData == nullptr || imageData->pixels == nullptr) return false;
  if (imageData->width < 0 || imageData->height < 0) return false;
  int pixelSize = BytesPerPixel(format);
  if (pixelSize == 0) return false;
  size_t width = static_cast<size_t>(imageData->width);
  size_t height = static_cast<size_t>(imageData->height);
  if (vertical) ReverseRows(imageData->pixels, width * static_cast<size_t>(pixelSize), height);
  else MirrorRows(imageData->pixels, static_cast<size_t>(pixelSize), width, height);
  return true;
  KOR_GUARD_END
}

}  // namespace lum
