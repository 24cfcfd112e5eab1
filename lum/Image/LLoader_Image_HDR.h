// The Radiance HDR image loader: RGBE pictures, flat or run-length encoded
// (old and new form), with the resolution line -Y height +X width, read
// into TEXTURE_FORMAT_A32B32G32R32F records. Gamma and exposure are read
// from the header but not applied. It cannot write.
#pragma once

#include "lum/LLoader.h"

namespace lum {

class LLoader_Image_HDR : public LLoader_Image {
 public:
  // The header: the record gets its format and an image part of the
  // resolution line's size, without pixels.
  bool ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // Header and pixels: alpha 1.0, blue, green, red per pixel.
  bool Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  bool Write(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // "#?RADIANCE"; the stream is left where it was.
  bool CanRead(kor::IInputStream& stream) override;
  bool CanWrite(int format) override;
};

}  // namespace lum
