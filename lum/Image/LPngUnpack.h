// Turning the samples of restored PNG rows into the pixel layouts of the
// image record: which colour type and depth gives which layout, and one row
// converter for each.
#pragma once

#include <cstddef>

namespace lum {

enum { PNG_PALETTE_TABLE_SIZE = 256 * 4 };

// Converts count pixels of one row, from its first sample on, writing each
// pixel step bytes after the one before. paletteTable is the table that
// BuildPngPaletteTable makes, or null for the types without a palette.
typedef void (*PngRowUnpacker)(const unsigned char* samples, unsigned char* pixels, size_t count,
                               ptrdiff_t step, const unsigned char* paletteTable);

struct PngPixelLayout {
  int bitsPerPixel;  // one pixel in the file
  int pixelBytes;    // one pixel in the record
  PngRowUnpacker unpack;
};

// The layout of a colour type and bit depth; false for a depth that the
// colour type does not allow and for unknown colour types.
bool GetPngPixelLayout(int colorType, int bitDepth, PngPixelLayout& layout);

// The pixel format a colour type gives, by whether its depth is 16;
// TEXTURE_FORMAT_NONE for unknown colour types.
int GetPngPixelFormat(int colorType, int bitDepth);

// Fills the 256 pixels (filler 255, blue, green, red) that palette indices
// select; indices beyond the given entries select opaque black.
void BuildPngPaletteTable(const unsigned char* entries, int entryNum,
                          unsigned char table[PNG_PALETTE_TABLE_SIZE]);

}  // namespace lum
