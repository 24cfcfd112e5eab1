#include "lum/Image/LBmpRunLength.h"

#include <cstdint>
#include <cstring>

namespace lum {

namespace {

enum { ESCAPE_END_OF_LINE = 0, ESCAPE_END_OF_BITMAP = 1, ESCAPE_DELTA = 2 };

// Where the next pixel goes: pixels follow each other in sequence, a run
// that reaches the end of a row going on at the start of the next.
// Positions outside the image take no pixels; they are 64-bit so that no
// run of the data can make them overflow.
class RunTarget {
 public:
  RunTarget(const LBmpBitmap& bitmap, unsigned char* pixels)
      : m_bitmap(bitmap),
        m_pixels(pixels),
        m_width(static_cast<uint64_t>(bitmap.width)),
        m_rows(static_cast<uint64_t>(bitmap.rows)),
        m_x(0),
        m_y(0) {}

  void Put(const unsigned char* pixel) {
    if (m_x < m_width && m_y < m_rows)
      std::memcpy(BmpRecordRow(m_bitmap, m_pixels, static_cast<size_t>(m_y)) + 4 * m_x, pixel, 4);
    if (++m_x == m_width) NextRow();
  }
  void Repeat(const unsigned char* pixel, unsigned count) {
    for (unsigned i = 0; i < count; ++i) Put(pixel);
  }
  // A line end after a row that runs filled to its end has nothing to do.
  void EndLine() {
    if (m_x > 0) NextRow();
  }
  void Move(unsigned right, unsigned down) {
    m_x += right;
    m_y += down;
  }
  bool Complete() const { return m_y >= m_rows || (m_y + 1 == m_rows && m_x >= m_width); }

 private:
  void NextRow() {
    m_x = 0;
    ++m_y;
  }

  const LBmpBitmap& m_bitmap;
  unsigned char* m_pixels;
  uint64_t m_width;
  uint64_t m_rows;
  uint64_t m_x;
  uint64_t m_y;
};

void FillBlack(unsigned char* pixels, size_t pixelCount) {
  static const unsigned char BLACK[4] = {255, 0, 0, 0};
  for (size_t i = 0; i < pixelCount; ++i) std::memcpy(pixels + 4 * i, BLACK, 4);
}

// An encoded run: RLE4 alternates the value's high and low nibble.
void PutRun(const LBmpBitmap& bitmap, unsigned count, unsigned value, RunTarget& target) {
  if (bitmap.compression == BMP_COMPRESSION_RLE8) {
    target.Repeat(bitmap.palette + 4 * value, count);
    return;
  }
  for (unsigned i = 0; i < count; ++i) target.Put(bitmap.palette + 4 * ((i & 1) ? value & 15 : value >> 4));
}

// The index bytes of an absolute run of count pixels; the run is padded to
// an even byte count.
size_t IndexBytes(const LBmpBitmap& bitmap, unsigned count) {
  return bitmap.compression == BMP_COMPRESSION_RLE8 ? count : (count + 1) / 2;
}

void PutAbsoluteRun(const LBmpBitmap& bitmap, const unsigned char* indices, unsigned count, RunTarget& target) {
  const bool nibbles = bitmap.compression == BMP_COMPRESSION_RLE4;
  for (unsigned i = 0; i < count; ++i) {
    unsigned index = nibbles ? ((i & 1) ? indices[i / 2] & 15 : indices[i / 2] >> 4) : indices[i];
    target.Put(bitmap.palette + 4 * index);
  }
}

}  // namespace

BmpDecodeResult DecodeBmpRunLength(const LBmpBitmap& bitmap, const unsigned char* data, size_t size,
                                   unsigned char* pixels, LBmpDecodeReport& report) {
  FillBlack(pixels, static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.rows));
  RunTarget target(bitmap, pixels);
  size_t at = 0;
  while (size - at >= 2) {
    const unsigned count = data[at];
    const unsigned value = data[at + 1];
    at += 2;
    if (count != 0) {
      PutRun(bitmap, count, value, target);
    } else if (value == ESCAPE_END_OF_LINE) {
      target.EndLine();
    } else if (value == ESCAPE_END_OF_BITMAP) {
      report.consumed = at;
      return BMP_DECODED;
    } else if (value == ESCAPE_DELTA) {
      if (size - at < 2) break;
      report.sawDelta = true;
      target.Move(data[at], data[at + 1]);
      at += 2;
    } else {
      // The padding byte of the last run may be missing at the data's end.
      const size_t indexBytes = IndexBytes(bitmap, value);
      if (size - at < indexBytes) break;
      PutAbsoluteRun(bitmap, data + at, value, target);
      const size_t padded = indexBytes + (indexBytes & 1);
      at += padded < size - at ? padded : size - at;
    }
  }
  report.consumed = at;
  return target.Complete() ? BMP_DECODED : BMP_DATA_SHORT;
}

}  // namespace lum
