// The geometry of PNG image data once inflated: the passes of each
// interlace method and the bytes their rows take.
#pragma once

#include <cstdint>

#include "lum/Image/LPngHeader.h"

namespace lum {

// A pass covers the pixels (x0 + i * dx, y0 + j * dy).
struct PngPass {
  unsigned x0;
  unsigned y0;
  unsigned dx;
  unsigned dy;
};

// The passes of an interlace method in data order (one for none, seven for
// Adam7); returns their count, 0 for an unknown method.
int GetPngPasses(int interlaceMethod, const PngPass*& passes);

// How many of the columns (or rows) offset, offset + step, ... lie below size.
inline uint64_t PngPassExtent(uint64_t size, unsigned offset, unsigned step) {
  return size > offset ? (size - offset + step - 1) / step : 0;
}

// The bytes of one row of width pixels, without its filter byte.
inline uint64_t PngRowBytes(uint64_t width, int bitsPerPixel) {
  return (width * static_cast<uint64_t>(bitsPerPixel) + 7) / 8;
}

// The bytes the inflated image data of header takes, every row's filter
// byte included; UINT64_MAX when it would not fit in 64 bits.
uint64_t PngImageDataSize(const PngHeader& header, int bitsPerPixel);

}  // namespace lum
