// Windows icons: the first image of an icon file, a bitmap without file
// header whose stored height covers the colour bitmap and the 1-bit
// transparency mask after it. Icons are read only.
#pragma once

#include "lum/LLoader.h"

namespace lum {

class LLoader_Image_ICO : public LLoader_Image {
 public:
  // The icon directory and its first entry: TEXTURE_FORMAT_A8B8G8R8 and an
  // image part of the entry's size (a size byte of 0 stands for 256).
  bool ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // The first image, top row first, in TEXTURE_FORMAT_A8B8G8R8: the mask
  // gives the alpha below 32 bits, the pixels themselves at 32 bits.
  bool Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // Always false.
  bool Write(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // An icon directory (reserved 0, type 1, at least one image); the stream
  // is left where it was.
  bool CanRead(kor::IInputStream& stream) override;
  // Always false.
  bool CanWrite(int format) override;
};

}  // namespace lum
