#include "lum/Image/LBmpPixels.h"

#include <cstring>

#include "lum/Image/LBmpRunLength.h"
#include "lum/Image/LColor555.h"
#include "lum/Image/LStreamBytes.h"

namespace lum {

namespace {

// One bit-field channel: the value under the mask, shifted down and scaled
// to 0..255 as value x 255 / largest value, truncated. Worked out in
// integers: the single-precision scale would make the largest value 254 for
// some widths. A channel without bits reads as 0.
struct Channel {
  uint32_t mask;
  unsigned shift;
  uint64_t largest;
};

Channel MakeChannel(uint32_t mask, unsigned bitCount) {
  Channel channel = {mask, 0, 0};
  if (mask == 0) return channel;
  while (channel.shift < bitCount && ((mask >> channel.shift) & 1) == 0) ++channel.shift;
  channel.largest = mask >> channel.shift;
  return channel;
}

unsigned char Extract(const Channel& channel, uint32_t word) {
  if (channel.mask == 0) return 0;
  uint64_t value = (word & channel.mask) >> channel.shift;
  return static_cast<unsigned char>(value * 255 / channel.largest);
}

struct Channels {
  Channel red, green, blue, alpha;
};

void DecodeIndexRow(const LBmpBitmap& bitmap, const unsigned char* row, unsigned char* out) {
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
  for (int x = 0; x < bitmap.width; ++x, out += 4) {
    switch (bitmap.bitCount) {
      case 16: Convert555(LittleEndian16(row + 2 * x), out); break;
      case 24:
        out[0] = 255;
        std::memcpy(out + 1, row + 3 * x, 3);
        break;
      default:
        out[0] = row[4 * x + 3];
        std::memcpy(out + 1, row + 4 * x, 3);
        break;
    }
  }
}

// 16-bit pixels have no alpha in the record's format: their filler is 255.
void DecodeBitFieldRow(const LBmpBitmap& bitmap, const Channels& channels, const unsigned char* row,
                       unsigned char* out) {
  const bool wide = bitmap.bitCount == 32;
  for (int x = 0; x < bitmap.width; ++x, out += 4) {
    uint32_t word = wide ? LittleEndian32(row + 4 * x) : LittleEndian16(row + 2 * x);
    out[0] = wide ? Extract(channels.alpha, word) : 255;
    out[1] = Extract(channels.blue, word);
    out[2] = Extract(channels.green, word);
    out[3] = Extract(channels.red, word);
  }
}

// Rows padded to a multiple of 4 bytes.
BmpDecodeResult DecodeRows(const LBmpBitmap& bitmap, const unsigned char* data, size_t size, unsigned char* pixels,
                           LBmpDecodeReport& report) {
  const uint64_t rowBytes = (static_cast<uint64_t>(bitmap.width) * bitmap.bitCount + 31) / 32 * 4;
  if (rowBytes * static_cast<uint64_t>(bitmap.rows) > size) return BMP_DATA_SHORT;
  Channels channels = {MakeChannel(bitmap.masks[0], bitmap.bitCount), MakeChannel(bitmap.masks[1], bitmap.bitCount),
                       MakeChannel(bitmap.masks[2], bitmap.bitCount), MakeChannel(bitmap.masks[3], bitmap.bitCount)};
  const size_t stride = static_cast<size_t>(bitmap.width) * 4;
  for (int y = 0; y < bitmap.rows; ++y) {
    const unsigned char* row = data + static_cast<size_t>(y) * rowBytes;
    unsigned char* out = pixels + static_cast<size_t>(y) * stride;
    if (bitmap.bitCount <= 8) DecodeIndexRow(bitmap, row, out);
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
