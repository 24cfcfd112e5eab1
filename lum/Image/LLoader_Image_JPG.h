// JPEG files, read through the bridge. There is no JPEG file writer: JPEG
// streams are written only inside JNG files.
#pragma once

#include "lum/LLoader.h"

namespace lum {

class LLoader_Image_JPG : public LLoader_Image {
 public:
  // The format and the output size from the JPEG header.
  bool ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  bool Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // Always false.
  bool Write(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // A stream starting 0xFF 0xD8 0xFF.
  bool CanRead(kor::IInputStream& stream) override;
  // TEXTURE_FORMAT_X8B8G8R8, TEXTURE_FORMAT_A8 and TEXTURE_FORMAT_L8.
  bool CanWrite(int format) override;
};

}  // namespace lum
