// The pixel data of a Radiance picture: scanlines of 4-byte pixels (red,
// green and blue mantissas and a shared exponent), each stored flat, in the
// old run-length form (a pixel 1, 1, 1, n repeats the pixel before it) or
// in the new form (the bytes 2, 2 and the 16-bit width, then each of the
// four components run-length coded on its own).
#pragma once

#include <cstdint>

#include "kor/Utils/UArray.h"

namespace lum {

class LRgbeScanlines {
 public:
  // data holds the bytes after the header and must outlive the decoder;
  // width is below LARGEST_WIDTH.
  LRgbeScanlines(const unsigned char* data, uint64_t size, int width);

  enum { LARGEST_WIDTH = 0x1FFFFFEF };

  // Decodes the next scanline into GetRow. False when the data ends early
  // or a run does not fit the scanline.
  bool DecodeNext();

  // The last scanline decoded: width RGBE pixels.
  const unsigned char* GetRow() const { return m_row.GetData() + PIXEL_BYTES; }

  // Each RGBE pixel as four floats (16 bytes, machine order), alpha 1,
  // blue, green, red: the mantissa times 2^(exponent - 136), and zero
  // colours for exponent 0.
  static void ToFloats(const unsigned char* rgbe, uint64_t pixelNum, unsigned char* out);

 private:
  enum { PIXEL_BYTES = 4 };

  bool DecodeNewForm(unsigned char* line);
  bool DecodeOldForm(unsigned char* line);

  const unsigned char* m_data;
  uint64_t m_size;
  uint64_t m_at;
  int m_width;
  // The scanline after one pixel: the last pixel of the scanline before,
  // which an old-form repeat at the start of a scanline repeats.
  kor::UArray<unsigned char> m_row;
  bool m_hasPrevious;
};

}  // namespace lum
