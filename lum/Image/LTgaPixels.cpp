#include "lum/Image/LTgaPixels.h"

#include <cstring>

#include "lum/Image/LColor555.h"
#include "lum/Image/LStreamBytes.h"

namespace lum {

namespace {

// One colour value of 2, 3 or 4 bytes (blue, green, red, alpha) as a record
// pixel; the 3-byte form has no alpha and gets filler 255.
void ConvertColor(const unsigned char* value, unsigned valueBytes, unsigned char* pixel) {
  switch (valueBytes) {
    case 2: Convert555(LittleEndian16(value), pixel); break;
    case 3:
      pixel[0] = 255;
      pixel[1] = value[0];
      pixel[2] = value[1];
      pixel[3] = value[2];
      break;
    default:
      pixel[0] = value[3];
      pixel[1] = value[0];
      pixel[2] = value[1];
      pixel[3] = value[2];
      break;
  }
}

void ConvertValue(const LTgaValues& values, const unsigned char* value, unsigned char* pixel) {
  if (values.indexTable) std::memcpy(pixel, values.indexTable + 4 * value[0], 4);
  else ConvertColor(value, values.valueBytes, pixel);
}

void Repeat(const unsigned char* pixel, unsigned char* to, size_t count) {
  for (size_t i = 0; i < count; ++i) std::memcpy(to + 4 * i, pixel, 4);
}

}  // namespace

void BuildTgaIndexTable(const unsigned char* colorMap, unsigned first, unsigned length, unsigned entryBytes,
                        unsigned char* table) {
  for (unsigned index = 0; index < 256; ++index) {
    unsigned char* pixel = table + 4 * index;
    if (index >= first && index - first < length) {
      ConvertColor(colorMap + static_cast<size_t>(index - first) * entryBytes, entryBytes, pixel);
    } else {
      pixel[0] = 255;
      pixel[1] = pixel[2] = pixel[3] = 0;
    }
  }
}

bool DecodeTgaValues(const LTgaValues& values, const unsigned char* data, size_t size, unsigned char* pixels,
                     size_t pixelCount) {
  if (size / values.valueBytes < pixelCount) return false;
  for (size_t i = 0; i < pixelCount; ++i) ConvertValue(values, data + i * values.valueBytes, pixels + 4 * i);
  return true;
}

bool DecodeTgaRunLength(const LTgaValues& values, const unsigned char* data, size_t size, unsigned char* pixels,
                        size_t pixelCount) {
  const size_t valueBytes = values.valueBytes;
  size_t at = 0;
  for (size_t made = 0; made < pixelCount;) {
    if (at == size) return false;
    const unsigned header = data[at++];
    size_t count = (header & 0x7F) + 1;
    if (count > pixelCount - made) count = pixelCount - made;
    unsigned char* to = pixels + 4 * made;
    if (header & 0x80) {
      if (size - at < valueBytes) return false;
      ConvertValue(values, data + at, to);
      Repeat(to, to + 4, count - 1);
      at += valueBytes;
    } else {
      if ((size - at) / valueBytes < count) return false;
      for (size_t i = 0; i < count; ++i) ConvertValue(values, data + at + i * valueBytes, to + 4 * i);
      at += count * valueBytes;
    }
    made += count;
  }
  return true;
}

}  // namespace lum
