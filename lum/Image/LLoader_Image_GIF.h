// The GIF image loader: the first image of a GIF87a or GIF89a file, placed
// on its logical screen, in TEXTURE_FORMAT_X8B8G8R8. Extensions are
// skipped, so animation, transparency and comments are not interpreted.
// It cannot write.
#pragma once

#include "lum/LLoader.h"

namespace lum {

class LLoader_Image_GIF : public LLoader_Image {
 public:
  // The header only: the record gets its format and an image part of the
  // logical screen's size, without pixels.
  bool ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // The screen with the first image on it. The screen around the image is
  // the background colour.
  bool Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  bool Write(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // "GIF87a" or "GIF89a"; the stream is left where it was.
  bool CanRead(kor::IInputStream& stream) override;
  bool CanWrite(int format) override;
};

}  // namespace lum
