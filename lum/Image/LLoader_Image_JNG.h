// JNG files: a PNG-style chunk stream carrying a JPEG-coded colour or grey
// image in JDAT chunks and, optionally, an alpha channel as deflated PNG
// samples (IDAT) or as a second JPEG stream (JDAA).
#pragma once

#include <cstdint>

#include "lum/LLoader.h"

namespace lum {

class LLoader_Image_JNG : public LLoader_Image {
 public:
  // The JHDR data in file order, width, height and CRC in machine order.
  struct JngHeader {
    uint32_t width;
    uint32_t height;
    unsigned char colorType;
    unsigned char sampleDepth;
    unsigned char compressionMethod;
    unsigned char interlaceMethod;
    unsigned char alphaSampleDepth;
    unsigned char alphaCompressionMethod;
    unsigned char alphaFilterMethod;
    unsigned char alphaInterlaceMethod;
    uint32_t crc;
  };

  enum {
    COLOR_TYPE_GREY = 8,
    COLOR_TYPE_COLOR = 10,
    COLOR_TYPE_GREY_ALPHA = 12,
    COLOR_TYPE_COLOR_ALPHA = 14,
    COLOR_TYPE_ALPHA_BIT = 4
  };
  enum { ALPHA_COMPRESSION_DEFLATE = 0, ALPHA_COMPRESSION_JPEG = 8 };

  // The header's format (16-bit for sample depth 12) and an image part of
  // the header's size, without pixels.
  bool ReadInfo(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // The whole image: TEXTURE_FORMAT_L8 or TEXTURE_FORMAT_X8B8G8R8 as the
  // colour stream decodes, TEXTURE_FORMAT_A8L8 or TEXTURE_FORMAT_A8B8G8R8
  // with alpha. A colour stream whose size is not the JHDR's is refused.
  // False after a message; libjpeg's errors are raised. The alpha of a
  // large image decodes on a second thread beside the colour; the result
  // and the messages, all given on the calling thread, are those of the
  // alpha decoded first.
  bool Read(kor::IInputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  bool Write(kor::IOutputStream& stream, LData_Image& data, const LImageSaveOptions* options) override;
  // The 8-byte JNG signature.
  bool CanRead(kor::IInputStream& stream) override;
  bool CanWrite(int format) override;

  // Checks the signature and the JHDR chunk with its CRC, then gives the
  // record the header's format and size. Widths and heights beyond
  // 2^31 - 1 are refused. False after a message.
  static bool ReadJngHeader(kor::IInputStream& stream, JngHeader& header, LData_Image& image);

  // Merges a decoded alpha record (TEXTURE_FORMAT_L8, or TEXTURE_FORMAT_L16
  // whose words are divided by 257) of the image's own size into the
  // image. A four-component image keeps its bytes and drops the alpha.
  // False, changing nothing, when the alpha does not fit the image.
  static bool AttachAlpha(const LData_Image& alpha, LData_Image& image);

  // Read decodes the alpha on a second thread, beside the colour, for images
  // of at least this many pixels: below, starting and joining a thread
  // costs about what it saves (measured: even at 128 x 128, a gain of a
  // third at 192 x 192).
  enum : uint64_t { PARALLEL_ALPHA_PIXELS = 32768 };
  // Sets that size for every later Read and returns the one before: 0 puts
  // every alpha on a thread, UINT64_MAX none (tests compare the two ways).
  static uint64_t SetParallelAlphaPixels(uint64_t pixels);
};

}  // namespace lum
