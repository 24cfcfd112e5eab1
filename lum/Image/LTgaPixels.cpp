#include "lum/Image/LTgaPixels.h"

#include <cstring>

#include "lum/Image/LColor555.h"
#include "lum/Image/LStreamBytes.h"

namespace lum {

namespace {

// One colour value of 2, 3 or 4 bytes (blue, green, red, alpha) as a record
// pixel; the 3-byte form has no alpha and gets filler 255.
template <unsigned BYTES>
void ConvertColor(const unsigned char* value, unsigned char* pixel) {
  if (BYTES == 2) {
    Convert555(LittleEndian16(value), pixel);
    return;
  }
  pixel[0] = BYTES == 4 ? value[3] : 255;
  pixel[1] = value[0];
  pixel[2] = value[1];
  pixel[3] = value[2];
}

struct IndexConverter {
  const unsigned char* table;
  void operator()(const unsigned char* value, unsigned char* pixel) const {
    std::memcpy(pixel, table + 4 * value[0], 4);
  }
};

template <unsigned BYTES>
struct ColorConverter {
  void operator()(const unsigned char* value, unsigned char* pixel) const { ConvertColor<BYTES>(value, pixel); }
};

template <class Convert>
bool DecodeValues(const unsigned char* data, size_t size, unsigned valueBytes, LTgaCursor& cursor,
                  size_t pixelCount, Convert convert) {
  if (size / valueBytes < pixelCount) return false;
  for (size_t i = 0; i < pixelCount; ++i, data += valueBytes) convert(data, cursor.Next());
  return true;
}

template <class Convert>
bool DecodeRuns(const unsigned char* data, size_t size, size_t valueBytes, LTgaCursor& cursor, size_t pixelCount,
                Convert convert) {
  size_t at = 0;
  for (size_t made = 0; made < pixelCount;) {
    if (at == size) return false;
    const unsigned header = data[at++];
    size_t count = (header & 0x7F) + 1;
    if (count > pixelCount - made) count = pixelCount - made;
    if (header & 0x80) {
      if (size - at < valueBytes) return false;
      unsigned char* first = cursor.Next();
      convert(data + at, first);
      for (size_t i = 1; i < count; ++i) std::memcpy(cursor.Next(), first, 4);
      at += valueBytes;
    } else {
      if ((size - at) / valueBytes < count) return false;
      for (size_t i = 0; i < count; ++i, at += valueBytes) convert(data + at, cursor.Next());
    }
    made += count;
  }
  return true;
}

// Runs the decoder with the converter of the values' kind.
template <template <class> class Decoder, class... Args>
bool WithConverter(const LTgaValues& values, Args&&... args) {
  switch (values.valueBytes) {
    case 1: return Decoder<IndexConverter>::Run(IndexConverter{values.indexTable}, args...);
    case 2: return Decoder<ColorConverter<2>>::Run(ColorConverter<2>(), args...);
    case 3: return Decoder<ColorConverter<3>>::Run(ColorConverter<3>(), args...);
    default: return Decoder<ColorConverter<4>>::Run(ColorConverter<4>(), args...);
  }
}

template <class Convert>
struct PlainDecoder {
  static bool Run(Convert convert, const unsigned char* data, size_t size, unsigned valueBytes, LTgaCursor& cursor,
                  size_t pixelCount) {
    return DecodeValues(data, size, valueBytes, cursor, pixelCount, convert);
  }
};

template <class Convert>
struct RunLengthDecoder {
  static bool Run(Convert convert, const unsigned char* data, size_t size, unsigned valueBytes, LTgaCursor& cursor,
                  size_t pixelCount) {
    return DecodeRuns(data, size, valueBytes, cursor, pixelCount, convert);
  }
};

}  // namespace

LTgaCursor::LTgaCursor(unsigned char* pixels, size_t width, size_t height, size_t pixelBytes, bool bottomUp,
                       bool rightToLeft)
    : m_pixels(pixels),
      m_width(width),
      m_height(height),
      m_pixelBytes(pixelBytes),
      m_bottomUp(bottomUp),
      m_rightToLeft(rightToLeft),
      m_row(0),
      m_x(0),
      m_place(pixels),
      m_step(rightToLeft ? -static_cast<ptrdiff_t>(pixelBytes) : static_cast<ptrdiff_t>(pixelBytes)) {
  StartRow(0);
}

// Past the last row the place stays at the image's start: nothing is
// written there any more.
void LTgaCursor::StartRow(size_t row) {
  m_row = row;
  m_x = 0;
  if (row >= m_height) {
    m_place = m_pixels;
    return;
  }
  size_t recordRow = m_bottomUp ? m_height - 1 - row : row;
  size_t column = m_rightToLeft ? m_width - 1 : 0;
  m_place = m_pixels + (recordRow * m_width + column) * m_pixelBytes;
}

void BuildTgaIndexTable(const unsigned char* colorMap, unsigned first, unsigned length, unsigned entryBytes,
                        unsigned char* table) {
  for (unsigned index = 0; index < 256; ++index) {
    unsigned char* pixel = table + 4 * index;
    const unsigned char* entry = colorMap + static_cast<size_t>(index - first) * entryBytes;
    if (index < first || index - first >= length) {
      pixel[0] = 255;
      pixel[1] = pixel[2] = pixel[3] = 0;
    } else if (entryBytes == 2) {
      ConvertColor<2>(entry, pixel);
    } else if (entryBytes == 3) {
      ConvertColor<3>(entry, pixel);
    } else {
      ConvertColor<4>(entry, pixel);
    }
  }
}

bool DecodeTgaValues(const LTgaValues& values, const unsigned char* data, size_t size, LTgaCursor& cursor,
                     size_t pixelCount) {
  return WithConverter<PlainDecoder>(values, data, size, values.valueBytes, cursor, pixelCount);
}

bool DecodeTgaRunLength(const LTgaValues& values, const unsigned char* data, size_t size, LTgaCursor& cursor,
                        size_t pixelCount) {
  return WithConverter<RunLengthDecoder>(values, data, size, values.valueBytes, cursor, pixelCount);
}

bool DecodeTgaGrey(const unsigned char* data, size_t size, LTgaCursor& cursor, size_t pixelCount) {
  if (size < pixelCount) return false;
  for (size_t i = 0; i < pixelCount; ++i) *cursor.Next() = data[i];
  return true;
}

}  // namespace lum
