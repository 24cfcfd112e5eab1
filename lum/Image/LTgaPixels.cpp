#include "lum/Image/LTgaPixels.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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
  enum { BYTES = 1 };
  const unsigned char* table;
  void operator()(const unsigned char* value, unsigned char* pixel) const {
    std::memcpy(pixel, table + 4 * value[0], 4);
  }
};

template <unsigned VALUE_BYTES>
struct ColorConverter {
  enum { BYTES = VALUE_BYTES };
  void operator()(const unsigned char* value, unsigned char* pixel) const { ConvertColor<BYTES>(value, pixel); }
};

// count values to count record pixels placed one after the other.
template <class Convert>
void ConvertRow(const unsigned char* data, unsigned char* place, size_t count, Convert convert) {
  for (size_t i = 0; i < count; ++i) convert(data + i * Convert::BYTES, place + 4 * i);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Four 24-bit values per shuffle: blue, green, red move up a byte each and
// filler 255 goes below them. Each step reads 16 bytes and uses 12, so it
// stops while two values more than it takes are left. Returns the values
// done.
__attribute__((target("ssse3"))) size_t ConvertRowShuffled(const unsigned char* data, unsigned char* place,
                                                             size_t count) {
  const __m128i order = _mm_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11);
  const __m128i filler = _mm_set1_epi32(0xFF);
  size_t done = 0;
  for (; count - done >= 6; done += 4) {
    __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 3 * done));
    __m128i pixels = _mm_or_si128(_mm_shuffle_epi8(values, order), filler);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(place + 4 * done), pixels);
  }
  return done;
}

bool CanShuffle() {
  static const bool supported = __builtin_cpu_supports("ssse3");
  return supported;
}
#define LUM_TGA_SHUFFLE 1
#endif

// The common 24-bit case: by shuffles where the processor has them, else a
// word at a time, where blue, green, red and the next value's first byte
// read as one little-endian word become filler, blue, green, red by a
// shift. The last value has no next byte to read.
template <>
void ConvertRow(const unsigned char* data, unsigned char* place, size_t count, ColorConverter<3> convert) {
#ifdef LUM_TGA_SHUFFLE
  if (CanShuffle()) {
    size_t done = ConvertRowShuffled(data, place, count);
    data += 3 * done;
    place += 4 * done;
    count -= done;
  }
#endif
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  for (; count > 1; --count, data += 3, place += 4) {
    uint32_t value;
    std::memcpy(&value, data, 4);
    value = value << 8 | 0xFF;
    std::memcpy(place, &value, 4);
  }
#endif
  for (size_t i = 0; i < count; ++i) convert(data + 3 * i, place + 4 * i);
}

// Rows stored left to right, the usual case, get a loop whose strides the
// compiler knows.
template <class Convert>
void ConvertSpans(const unsigned char* data, LTgaCursor& cursor, size_t count, Convert convert) {
  for (size_t done = 0; done < count;) {
    LTgaCursor::Span span = cursor.Next(count - done);
    unsigned char* place = span.place;
    if (span.step == 4) {
      ConvertRow(data, place, span.count, convert);
    } else {
      for (size_t i = 0; i < span.count; ++i, place += span.step) convert(data + i * Convert::BYTES, place);
    }
    data += span.count * Convert::BYTES;
    done += span.count;
  }
}

void RepeatPixel(const unsigned char* pixel, LTgaCursor& cursor, size_t count) {
  for (size_t done = 0; done < count;) {
    LTgaCursor::Span span = cursor.Next(count - done);
    unsigned char* place = span.place;
    for (size_t i = 0; i < span.count; ++i, place += span.step) std::memcpy(place, pixel, 4);
    done += span.count;
  }
}

template <class Convert>
bool DecodeValues(const unsigned char* data, size_t size, LTgaCursor& cursor, size_t pixelCount, Convert convert) {
  if (size / Convert::BYTES < pixelCount) return false;
  ConvertSpans(data, cursor, pixelCount, convert);
  return true;
}

template <class Convert>
bool DecodeRuns(const unsigned char* data, size_t size, LTgaCursor& cursor, size_t pixelCount, Convert convert) {
  const size_t valueBytes = Convert::BYTES;
  size_t at = 0;
  for (size_t made = 0; made < pixelCount;) {
    if (at == size) return false;
    const unsigned header = data[at++];
    size_t count = (header & 0x7F) + 1;
    if (count > pixelCount - made) count = pixelCount - made;
    if (header & 0x80) {
      if (size - at < valueBytes) return false;
      unsigned char pixel[4];
      convert(data + at, pixel);
      RepeatPixel(pixel, cursor, count);
      at += valueBytes;
    } else {
      if ((size - at) / valueBytes < count) return false;
      ConvertSpans(data + at, cursor, count, convert);
      at += count * valueBytes;
    }
    made += count;
  }
  return true;
}

template <class Convert>
bool Decode(bool runLength, const unsigned char* data, size_t size, LTgaCursor& cursor, size_t pixelCount,
            Convert convert) {
  return runLength ? DecodeRuns(data, size, cursor, pixelCount, convert)
                   : DecodeValues(data, size, cursor, pixelCount, convert);
}

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

LTgaCursor::Span LTgaCursor::Next(size_t count) {
  Span span = {m_place, m_step, count < m_width - m_x ? count : m_width - m_x};
  m_x += span.count;
  if (m_x == m_width) StartRow(m_row + 1);
  else m_place += static_cast<ptrdiff_t>(span.count) * m_step;
  return span;
}

// Past the last row the place stays at the image's start: nothing is
// handed out there any more.
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
    if (index < first || index - first >= length) {
      pixel[0] = 255;
      pixel[1] = pixel[2] = pixel[3] = 0;
      continue;
    }
    const unsigned char* entry = colorMap + static_cast<size_t>(index - first) * entryBytes;
    if (entryBytes == 2) ConvertColor<2>(entry, pixel);
    else if (entryBytes == 3) ConvertColor<3>(entry, pixel);
    else ConvertColor<4>(entry, pixel);
  }
}

// A switch outside the loops: each kind of value gets a loop of its own.
bool DecodeTgaPixels(const LTgaValues& values, bool runLength, const unsigned char* data, size_t size,
                     LTgaCursor& cursor, size_t pixelCount) {
  switch (values.valueBytes) {
    case 1: return Decode(runLength, data, size, cursor, pixelCount, IndexConverter{values.indexTable});
    case 2: return Decode(runLength, data, size, cursor, pixelCount, ColorConverter<2>());
    case 3: return Decode(runLength, data, size, cursor, pixelCount, ColorConverter<3>());
    default: return Decode(runLength, data, size, cursor, pixelCount, ColorConverter<4>());
  }
}

bool DecodeTgaGrey(const unsigned char* data, size_t size, LTgaCursor& cursor, size_t pixelCount) {
  if (size < pixelCount) return false;
  for (size_t done = 0; done < pixelCount;) {
    LTgaCursor::Span span = cursor.Next(pixelCount - done);
    if (span.step == 1) std::memcpy(span.place, data + done, span.count);
    else
      for (size_t i = 0; i < span.count; ++i) span.place[-static_cast<ptrdiff_t>(i)] = data[done + i];
    done += span.count;
  }
  return true;
}

}  // namespace lum
