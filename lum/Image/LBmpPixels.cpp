#include "lum/Image/LBmpPixels.h"

#include <cstring>

#include "lum/Image/LBmpRunLength.h"
#include "lum/Image/LColor555.h"
#include "lum/Image/LStreamBytes.h"

namespace lum {

namespace {

// One bit-field channel: the value under the mask, shifted down and scaled
// to 0..255 as value x 255 / largest value, truncated. Worked out in
// integers, since the single-precision scale makes the largest value 254 for
// some widths, and looked up in a table for channels of up to 8 bits. A
// channel without bits reads as 0.
class Channel {
 public:
  Channel(uint32_t mask, unsigned bitCount) : m_mask(mask), m_shift(0), m_largest(0) {
    if (mask == 0) return;
    while (m_shift < bitCount && ((mask >> m_shift) & 1) == 0) ++m_shift;
    m_largest = mask >> m_shift;
    if (m_largest < 256)
      for (uint64_t value = 0; value <= m_largest; ++value) m_table[value] = Scale(value);
  }

  unsigned char Extract(uint32_t word) const {
    if (m_mask == 0) return 0;
    uint64_t value = (word & m_mask) >> m_shift;
    return m_largest < 256 ? m_table[value] : Scale(value);
  }

 private:
  unsigned char Scale(uint64_t value) const { return static_cast<unsigned char>(value * 255 / m_largest); }

  uint32_t m_mask;
  unsigned m_shift;
  uint64_t m_largest;
  unsigned char m_table[256];
};

void DecodeIndexRow(const LBmpBitmap& bitmap, const unsigned char* row, unsigned char* out) {
  if (bitmap.bitCount == 8) {
    for (int x = 0; x < bitmap.width; ++x, out += 4) std::memcpy(out, bitmap.palette + 4 * row[x], 4);
    return;
  }
  const unsigned bits = bitmap.bitCount;
  const unsigned perByte = 8 / bits;
  const unsigned valueMask = (1u << bits) - 1;
  for (int x = 0; x < bitmap.width; ++x, out += 4) {
    unsigned slot = static_cast<unsigned>(x) % perByte;
    unsigned index = (row[static_cast<unsigned>(x) / perByte] >> (8 - bits * (slot + 1))) & valueMask;
    std::memcpy(out, bitmap.palette + 4 * index, 4);
  }
}

void DecodeColorRow(const LBmpBitmap& bitmap, const unsigned char* row, unsigned char* out) {
  const int width = bitmap.width;
  if (bitmap.bitCount == 16) {
    for (int x = 0; x < width; ++x, out += 4) Convert555(LittleEndian16(row + 2 * x), out);
  } else if (bitmap.bitCount == 24) {
    for (int x = 0; x < width; ++x, out += 4, row += 3) {
      out[0] = 255;
      out[1] = row[0];
      out[2] = row[1];
      out[3] = row[2];
    }
  } else {
    for (int x = 0; x < width; ++x, out += 4, row += 4) {
      out[0] = row[3];
      out[1] = row[0];
      out[2] = row[1];
      out[3] = row[2];
    }
  }
}

struct Channels {
  Channel red, green, blue, alpha;
};

// 16-bit pixels have no alpha in the record's format: their filler is 255.
void DecodeBitFieldRow(const LBmpBitmap& bitmap, const Channels& channels, const unsigned char* row,
                       unsigned char* out) {
  const bool wide = bitmap.bitCount == 32;
  for (int x = 0; x < bitmap.width; ++x, out += 4) {
    uint32_t word = wide ? LittleEndian32(row + 4 * x) : LittleEndian16(row + 2 * x);
    out[0] = wide ? channels.alpha.Extract(word) : 255;
    out[1] = channels.blue.Extract(word);
    out[2] = channels.green.Extract(word);
    out[3] = channels.red.Extract(word);
  }
}

// Rows padded to a multiple of 4 bytes.
BmpDecodeResult DecodeRows(const LBmpBitmap& bitmap, const unsigned char* data, size_t size, unsigned char* pixels,
                           LBmpDecodeReport& report) {
  const uint64_t rowBytes = (static_cast<uint64_t>(bitmap.width) * bitmap.bitCount + 31) / 32 * 4;
  if (rowBytes * static_cast<uint64_t>(bitmap.rows) > size) return BMP_DATA_SHORT;
  const unsigned bits = bitmap.bitCount;
  const Channels channels = {Channel(bitmap.masks[0], bits), Channel(bitmap.masks[1], bits),
                             Channel(bitmap.masks[2], bits), Channel(bitmap.masks[3], bits)};
  for (int y = 0; y < bitmap.rows; ++y) {
    const unsigned char* row = data + static_cast<size_t>(y) * rowBytes;
    unsigned char* out = BmpRecordRow(bitmap, pixels, static_cast<size_t>(y));
    if (bits <= 8) DecodeIndexRow(bitmap, row, out);
    else if (bitmap.compression == BMP_COMPRESSION_BITFIELDS) DecodeBitFieldRow(bitmap, channels, row, out);
    else DecodeColorRow(bitmap, row, out);
  }
  report.consumed = static_cast<size_t>(rowBytes * static_cast<uint64_t>(bitmap.rows));
  return BMP_DECODED;
}

}  // namespace

bool IsBmpLayoutSupported(unsigned bitCount, unsigned compression) {
  switch (compression) {
    case BMP_COMPRESSION_RGB: return IsBmpBitCount(bitCount);
    case BMP_COMPRESSION_RLE8: return bitCount == 8;
    case BMP_COMPRESSION_RLE4: return bitCount == 4;
    case BMP_COMPRESSION_BITFIELDS: return bitCount == 16 || bitCount == 32;
    default: return false;
  }
}

BmpDecodeResult DecodeBmpBitmap(const LBmpBitmap& bitmap, const unsigned char* data, size_t size,
                                unsigned char* pixels, LBmpDecodeReport& report) {
  report.consumed = 0;
  report.sawDelta = false;
  if (!IsBmpLayoutSupported(bitmap.bitCount, bitmap.compression)) return BMP_NOT_SUPPORTED;
  if (bitmap.compression == BMP_COMPRESSION_RLE8 || bitmap.compression == BMP_COMPRESSION_RLE4)
    return DecodeBmpRunLength(bitmap, data, size, pixels, report);
  return DecodeRows(bitmap, data, size, pixels, report);
}

void MakeUnusedAlphaOpaque(unsigned char* pixels, size_t pixelCount) {
  for (size_t i = 0; i < pixelCount; ++i)
    if (pixels[4 * i] != 0) return;
  for (size_t i = 0; i < pixelCount; ++i) pixels[4 * i] = 255;
}

}  // namespace lum
