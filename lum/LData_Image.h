// The loaded-image record that every image loader fills and every writer
// reads: a dimension, a pixel format and one owned image part holding the
// size and the pixels. Rows are stored top row first, each row left to
// right, without padding.
#pragma once

#include "kor/Utils/UBaseString.h"
#include "lum/LData.h"
#include "lum/LTextureFormat.h"

namespace lum {

enum TextureDimension { TEXTURE_DIMENSION_2D = 1 };

enum ImagePartId { IP_DEFAULT = 0 };

class LData_ImagePart {
 public:
  LData_ImagePart(int width, int height);
  LData_ImagePart(const LData_ImagePart&) = delete;
  LData_ImagePart& operator=(const LData_ImagePart&) = delete;
  // Destroys extraPart2, then extraPart1, then frees the pixels.
  ~LData_ImagePart() noexcept(false);

  // Takes ownership of an array made with new[], freeing the previous one.
  void SetPixels(unsigned char* newPixels);

  int part;
  int width;
  int height;
  int depth;
  unsigned char* pixels;
  LData_ImagePart* extraPart1;
  LData_ImagePart* extraPart2;
};

class LData_Image : public LData {
 public:
  explicit LData_Image(const kor::UString& imageName = kor::UString());
  ~LData_Image() noexcept(false) override;

  // Takes ownership of a part made with new, destroying the previous one.
  void SetImageData(LData_ImagePart* part);

  // Reverses the row order (vertical) or the pixel order within each row.
  // False, changing nothing, without pixels or for a format whose pixels
  // are not whole bytes.
  bool Flip(bool vertical);

  // The sum of the format's channel widths in bytes; 0 for the
  // block-compressed formats, TEXTURE_FORMAT_NONE and unknown values.
  static int BytesPerPixel(int format);

  kor::UString name;
  int dimension;
  int format;
  LData_ImagePart* imageData;
};

}  // namespace lum
