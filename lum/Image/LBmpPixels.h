// The pixel decoders that BMP files and icon images share. They turn a
// colour bitmap into record pixels (alpha or filler, blue, green, red), top
// row first whichever way the rows are stored, and never read past the
// data they are given.
#pragma once

#include <cstddef>

#include "lum/Image/LBmpInfoHeader.h"

namespace lum {

enum BmpDecodeResult {
  BMP_DECODED,
  BMP_DATA_SHORT,    // the data ends before the bitmap does
  BMP_NOT_SUPPORTED  // a compression without decoder, or one that does not fit the bit count
};

struct LBmpDecodeReport {
  size_t consumed;  // bytes of data the bitmap took
  bool sawDelta;    // a run-length delta escape moved the position
};

// Plain bitmaps of every bit count, bit fields of 16 and 32 bits, RLE8 of 8
// bits and RLE4 of 4 bits.
bool IsBmpLayoutSupported(unsigned bitCount, unsigned compression);

// The record row that stored row number row (counted in file order) fills.
inline unsigned char* BmpRecordRow(const LBmpBitmap& bitmap, unsigned char* pixels, size_t row) {
  size_t recordRow = bitmap.bottomUp ? static_cast<size_t>(bitmap.rows) - 1 - row : row;
  return pixels + recordRow * static_cast<size_t>(bitmap.width) * 4;
}

// Decodes bitmap.width x bitmap.rows pixels from data into pixels.
BmpDecodeResult DecodeBmpBitmap(const LBmpBitmap& bitmap, const unsigned char* data, size_t size,
                                unsigned char* pixels, LBmpDecodeReport& report);

// Alpha bits that are zero in every pixel are padding, not transparency:
// such pixels become opaque.
void MakeUnusedAlphaOpaque(unsigned char* pixels, size_t pixelCount);

}  // namespace lum
