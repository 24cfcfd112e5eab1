// Windows bitmaps. Reading takes 1-, 4-, 8-, 16-, 24- and 32-bit bitmaps,
// plain, with bit fields and run-length encoded (RLE8, RLE4), of every
// information header from 40 bytes up; writing makes 24-bit plain and
// 32-bit bit-field bitmaps, top row first.
#pragma once

#include "lum/LLoader.h"

namespace lum {

class LLoader_Image_BMP : public LLoader_Image {
 public:
  // The file header and the information header: format and an image part
  // of the bitmap's size.
  bool ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // The whole image, top row first. TEXTURE_FORMAT_A8B8G8R8 for 32 bits,
  // TEXTURE_FORMAT_X8B8G8R8 otherwise. Options are not used.
  bool Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // TEXTURE_FORMAT_X8B8G8R8 as 24 bits, TEXTURE_FORMAT_A8B8G8R8 as 32-bit
  // bit fields; the options' texts (concatenated) lie between the headers
  // and the pixels. False when the record has no pixels, a format CanWrite
  // refuses, a size the headers cannot hold, or when the stream takes fewer
  // bytes than it is given.
  bool Write(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // The 14-byte file header of a bitmap ("BM", "BA", "CI", "CP", "IC" or
  // "PT", a non-zero size, reserved 0); the stream is left where it was.
  bool CanRead(kor::IInputStream& stream) override;
  // TEXTURE_FORMAT_A8B8G8R8 and TEXTURE_FORMAT_X8B8G8R8.
  bool CanWrite(int format) override;
};

}  // namespace lum
