// The pixel values of a TGA image turned into record pixels (filler or
// alpha, blue, green, red): colour-map indices through a table, colours by
// their size, stored one after the other or in run-length packets. Each
// pixel goes straight to its place in the record, so that files stored
// bottom row first or right to left need no turning afterwards. The
// decoders never read past the data they are given nor write past the
// image.
#pragma once

#include <cstddef>

namespace lum {

enum { TGA_INDEX_TABLE_SIZE = 256 * 4 };

struct LTgaValues {
  // Bytes per value in the file: 1 for an index, 2, 3 or 4 for a colour.
  unsigned valueBytes;
  // Record pixels for the 256 index values; null for colours.
  const unsigned char* indexTable;
};

// The record places of the file's pixels, in the file's order, handed out
// a row's stretch at a time.
class LTgaCursor {
 public:
  LTgaCursor(unsigned char* pixels, size_t width, size_t height, size_t pixelBytes, bool bottomUp,
             bool rightToLeft);

  // The places of the next count pixels, or fewer when the row ends
  // first: the first place and the distance between two.
  struct Span {
    unsigned char* place;
    ptrdiff_t step;
    size_t count;
  };
  // Taken at most width x height pixels in all.
  Span Next(size_t count);

 private:
  void StartRow(size_t row);

  unsigned char* m_pixels;
  size_t m_width;
  size_t m_height;
  size_t m_pixelBytes;
  bool m_bottomUp;
  bool m_rightToLeft;
  size_t m_row;
  size_t m_x;
  unsigned char* m_place;
  ptrdiff_t m_step;
};

// Fills the TGA_INDEX_TABLE_SIZE bytes of table: index i selects colour-map
// entry i - first; indices outside the map select black. entryBytes is 2,
// 3 or 4, and colorMap holds length entries.
void BuildTgaIndexTable(const unsigned char* colorMap, unsigned first, unsigned length, unsigned entryBytes,
                        unsigned char* table);

// pixelCount values one after the other or, for runLength, in packets of
// a header byte (bit 7: one value repeated, otherwise that many values; the
// low seven bits are the count less one) that run on across rows; a packet
// reaching past the last pixel ends at it. False when data ends before the
// last pixel.
bool DecodeTgaPixels(const LTgaValues& values, bool runLength, const unsigned char* data, size_t size,
                     LTgaCursor& cursor, size_t pixelCount);

// 8-bit greyscale samples, one byte per pixel. False when data is shorter.
bool DecodeTgaGrey(const unsigned char* data, size_t size, LTgaCursor& cursor, size_t pixelCount);

}  // namespace lum
