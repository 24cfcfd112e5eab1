// The bitmap information header that BMP files and icon images share, the
// colour tables that follow it (bit-field masks and palette), and what the
// two together tell the pixel decoders.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kor/CoreServices/Interfaces/IInputStream.h"

namespace lum {

enum { BMP_FILE_HEADER_SIZE = 14, BMP_INFO_HEADER_SIZE = 40 };

enum BmpCompression {
  BMP_COMPRESSION_RGB = 0,
  BMP_COMPRESSION_RLE8 = 1,
  BMP_COMPRESSION_RLE4 = 2,
  BMP_COMPRESSION_BITFIELDS = 3
};

struct LBmpInfoHeader {
  uint32_t size;  // of the whole header; V4 and V5 headers are longer than the 40 bytes read
  int32_t width;
  int32_t height;  // negative: rows stored top row first
  unsigned planes;
  unsigned bitCount;
  uint32_t compression;
  uint32_t imageSize;
  int32_t xResolution;
  int32_t yResolution;
  uint32_t colorsUsed;  // 2 to the power of the bit count where the file says 0
  uint32_t colorsImportant;
};

// Reads the first 40 header bytes; false when they do not all arrive.
bool ReadBmpInfoHeader(kor::IInputStream& stream, LBmpInfoHeader& header);

// 1, 4, 8, 16, 24 or 32.
bool IsBmpBitCount(unsigned bitCount);

// The colour bitmap as the decoders see it.
struct LBmpBitmap {
  int width;
  int rows;
  bool bottomUp;
  unsigned bitCount;
  unsigned compression;
  // One record pixel (filler 255, blue, green, red) per index value; the
  // values the file's palette does not reach are black.
  unsigned char palette[256 * 4];
  uint32_t masks[4];  // red, green, blue, alpha
  // The alpha mask is the file's own rather than the bits the colour masks
  // leave over.
  bool hasAlphaMask;
};

// The image's width and row count: |height|, for icons half of it (the
// stored height covers the colour bitmap and the transparency mask). False
// for sizes that describe no image or more pixels than a buffer holds.
bool GetBmpImageSize(const LBmpInfoHeader& header, bool icon, int& width, int& rows, bool& bottomUp);

// Fills the bit count, compression and tables of bitmap from header and
// from the bytes that follow its first 40 bytes: the masks of a bit-field
// bitmap, which start right there, and the palette of bit counts up to 8,
// which starts after the header's own size and is not read beyond
// paletteEnd. end becomes the offset, in bytes, at which the palette the
// header announces ends. False when the masks are not all there.
bool ReadBmpTables(const LBmpInfoHeader& header, const unsigned char* bytes, size_t size, size_t paletteEnd,
                   LBmpBitmap& bitmap, uint64_t& end);

}  // namespace lum
