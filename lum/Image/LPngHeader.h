// What the reading half of the PNG machinery works from: the IHDR fields
// with the values they take, and the palette of a PLTE chunk.
#pragma once

#include <cstdint>

namespace lum {

// The IHDR data in file order, then its CRC. Width, height and CRC are in
// machine order; the JNG decoder fills one itself for its alpha channel.
struct PngHeader {
  enum {
    COLOR_TYPE_GREY = 0,
    COLOR_TYPE_RGB = 2,
    COLOR_TYPE_PALETTE = 3,
    COLOR_TYPE_GREY_ALPHA = 4,
    COLOR_TYPE_RGB_ALPHA = 6
  };
  enum { INTERLACE_NONE = 0, INTERLACE_ADAM7 = 1 };

  uint32_t width;
  uint32_t height;
  unsigned char bitDepth;
  unsigned char colorType;
  unsigned char compressionMethod;
  unsigned char filterMethod;
  unsigned char interlaceMethod;
  uint32_t crc;
};

// The entries of a PLTE chunk where they lie in the file's bytes: red,
// green and blue for each entry.
struct PngPalette {
  const unsigned char* entries;
  int entryNum;
};

}  // namespace lum
