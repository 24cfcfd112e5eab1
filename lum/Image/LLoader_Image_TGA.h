// Truevision (TGA) images. Reading takes uncompressed and run-length
// encoded colour-mapped and true-colour images and uncompressed 8-bit
// greyscale ones; writing makes uncompressed 32- and 24-bit true-colour
// and 8-bit greyscale files, top row first. The format has no signature,
// which is why its loader is probed last.
#pragma once

#include "lum/LLoader.h"

namespace lum {

class LLoader_Image_TGA : public LLoader_Image {
 public:
  // The header only: format and an image part of the header's size.
  bool ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // The whole image, turned so that the top row comes first, left to right.
  // A file of image type 0 succeeds without pixels. Options are not used.
  bool Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // The record's pixels, uncompressed; the options' texts (concatenated,
  // at most 255 bytes) become the image identification. False when the
  // record has no pixels, a format CanWrite refuses, a size the header
  // cannot hold, or when the stream takes fewer bytes than it is given.
  bool Write(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // The header's colour-map type, pixel depth, descriptor and image type
  // look like a TGA file's; the stream is left where it was.
  bool CanRead(kor::IInputStream& stream) override;
  // TEXTURE_FORMAT_A8B8G8R8, TEXTURE_FORMAT_X8B8G8R8, TEXTURE_FORMAT_A8 and
  // TEXTURE_FORMAT_L8.
  bool CanWrite(int format) override;
};

}  // namespace lum
