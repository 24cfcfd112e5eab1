#include "lum/Image/LRgbeScanlines.h"

#include <cmath>
#include <cstring>

#include "kor/ErrorDescription.h"

namespace lum {

namespace {

enum { EXPONENT = 3 };

// Widths outside this range cannot carry the new form's marker, so their
// scanlines are always read in the old form.
enum { NEW_FORM_SMALLEST_WIDTH = 8, NEW_FORM_LARGEST_WIDTH = 0x7FFF };

enum { RUN_FLAG = 128 };

bool IsOldRun(const unsigned char* pixel) { return pixel[0] == 1 && pixel[1] == 1 && pixel[2] == 1; }

// A table of the 256 scale factors, each exact in single precision.
struct ExponentScales {
  ExponentScales() {
    for (int e = 0; e < 256; ++e) scale[e] = e == 0 ? 0.0f : static_cast<float>(std::ldexp(1.0, e - 136));
  }
  float scale[256];
};

// One pixel before the scanline, for the repeat of the scanline before.
int RowBytes(int width) {
  assure(width < LRgbeScanlines::LARGEST_WIDTH);
  return (width + 1) * 4;
}

}  // namespace

LRgbeScanlines::LRgbeScanlines(const unsigned char* data, uint64_t size, int width)
    : m_data(data),
      m_size(data ? size : 0),
      m_at(0),
      m_width(width > 0 ? width : 0),
      m_row(RowBytes(m_width)),
      m_hasPrevious(false) {}

bool LRgbeScanlines::DecodeNext() {
  unsigned char* line = m_row.GetData() + PIXEL_BYTES;
  if (m_width == 0) return true;
  if (m_hasPrevious) std::memcpy(m_row.GetData(), line + (m_width - 1) * PIXEL_BYTES, PIXEL_BYTES);
  bool decoded;
  const unsigned char* marker = m_data + m_at;
  if (m_width < NEW_FORM_SMALLEST_WIDTH || m_width > NEW_FORM_LARGEST_WIDTH || m_size - m_at < PIXEL_BYTES ||
      marker[0] != 2 || marker[1] != 2 || (marker[2] & 0x80) != 0) {
    decoded = DecodeOldForm(line);
  } else {
    if ((marker[2] << 8 | marker[3]) != m_width) return false;
    m_at += PIXEL_BYTES;
    decoded = DecodeNewForm(line);
  }
  m_hasPrevious = true;
  return decoded;
}

// Each component in turn, as runs (a count above 128: count - 128 copies
// of the next byte) and literal stretches (a count up to 128, then that
// many bytes); neither may pass the scanline's end.
bool LRgbeScanlines::DecodeNewForm(unsigned char* line) {
  const uint64_t end = static_cast<uint64_t>(m_width);
  for (int component = 0; component < PIXEL_BYTES; ++component) {
    for (uint64_t x = 0; x < end;) {
      if (m_at >= m_size) return false;
      uint64_t count = m_data[m_at++];
      bool run = count > RUN_FLAG;
      if (run) count -= RUN_FLAG;
      if (count > end - x) return false;
      if (run) {
        if (m_at >= m_size) return false;
        unsigned char value = m_data[m_at++];
        for (; count > 0; --count, ++x) line[x * PIXEL_BYTES + component] = value;
      } else {
        if (count > m_size - m_at) return false;
        for (; count > 0; --count, ++x) line[x * PIXEL_BYTES + component] = m_data[m_at++];
      }
    }
  }
  return true;
}

// Flat pixels, among which a pixel 1, 1, 1, n repeats the pixel before it
// n times; consecutive repeat pixels give the higher bytes of one count.
// A repeat needs a pixel before it and must fit the scanline.
bool LRgbeScanlines::DecodeOldForm(unsigned char* line) {
  unsigned char* out = line;
  unsigned char* const end = line + static_cast<uint64_t>(m_width) * PIXEL_BYTES;
  int shift = 0;
  while (out < end) {
    if (m_size - m_at < PIXEL_BYTES) return false;
    const unsigned char* pixel = m_data + m_at;
    m_at += PIXEL_BYTES;
    if (!IsOldRun(pixel)) {
      std::memcpy(out, pixel, PIXEL_BYTES);
      out += PIXEL_BYTES;
      shift = 0;
      continue;
    }
    if (shift >= 32 || (out == line && !m_hasPrevious)) return false;
    uint64_t count = static_cast<uint64_t>(pixel[EXPONENT]) << shift;
    if (count > static_cast<uint64_t>(end - out) / PIXEL_BYTES) return false;
    for (; count > 0; --count, out += PIXEL_BYTES) std::memcpy(out, out - PIXEL_BYTES, PIXEL_BYTES);
    shift += 8;
  }
  return true;
}

void LRgbeScanlines::ToFloats(const unsigned char* rgbe, uint64_t pixelNum, unsigned char* out) {
  static const ExponentScales scales;
  for (uint64_t i = 0; i < pixelNum; ++i, rgbe += PIXEL_BYTES, out += sizeof(float[4])) {
    float scale = scales.scale[rgbe[EXPONENT]];
    float pixel[4] = {1.0f, rgbe[2] * scale, rgbe[1] * scale, rgbe[0] * scale};
    // The pixel array need not be aligned for floats.
    std::memcpy(out, pixel, sizeof(pixel));
  }
}

}  // namespace lum
