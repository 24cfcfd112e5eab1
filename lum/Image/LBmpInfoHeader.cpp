#include "lum/Image/LBmpInfoHeader.h"

#include <cstring>

#include "lum/Image/LStreamBytes.h"

namespace lum {

namespace {

enum { ALPHA_MASK_HEADER_SIZE = 56, PALETTE_ENTRY_SIZE = 4 };

void ParseInfoHeader(const unsigned char* bytes, LBmpInfoHeader& header) {
  header.size = LittleEndian32(bytes);
  header.width = static_cast<int32_t>(LittleEndian32(bytes + 4));
  header.height = static_cast<int32_t>(LittleEndian32(bytes + 8));
  header.planes = LittleEndian16(bytes + 12);
  header.bitCount = LittleEndian16(bytes + 14);
  header.compression = LittleEndian32(bytes + 16);
  header.imageSize = LittleEndian32(bytes + 20);
  header.xResolution = static_cast<int32_t>(LittleEndian32(bytes + 24));
  header.yResolution = static_cast<int32_t>(LittleEndian32(bytes + 28));
  header.colorsUsed = LittleEndian32(bytes + 32);
  header.colorsImportant = LittleEndian32(bytes + 36);
}

void ReadMasks(const LBmpInfoHeader& header, const unsigned char* bytes, LBmpBitmap& bitmap) {
  for (int i = 0; i < 3; ++i) bitmap.masks[i] = LittleEndian32(bytes + 4 * i);
  // A header long enough to hold an alpha mask says which bits are alpha,
  // none when it is 0; otherwise the bits the colours leave over are.
  if (header.size >= ALPHA_MASK_HEADER_SIZE) {
    bitmap.masks[3] = LittleEndian32(bytes + 12);
    bitmap.hasAlphaMask = bitmap.masks[3] != 0;
  } else {
    bitmap.masks[3] = ~(bitmap.masks[0] | bitmap.masks[1] | bitmap.masks[2]);
  }
}

// Entries are blue, green, red, reserved.
void ReadPalette(const unsigned char* entries, uint64_t entryNum, unsigned char* palette) {
  for (uint64_t i = 0; i < entryNum; ++i) {
    palette[4 * i] = 255;
    palette[4 * i + 1] = entries[4 * i];
    palette[4 * i + 2] = entries[4 * i + 1];
    palette[4 * i + 3] = entries[4 * i + 2];
  }
}

void FillBlack(unsigned char* palette) {
  for (int i = 0; i < 256; ++i) {
    palette[4 * i] = 255;
    palette[4 * i + 1] = palette[4 * i + 2] = palette[4 * i + 3] = 0;
  }
}

}  // namespace

bool ReadBmpInfoHeader(kor::IInputStream& stream, LBmpInfoHeader& header) {
  unsigned char bytes[BMP_INFO_HEADER_SIZE];
  if (!ReadStreamBytes(stream, bytes, sizeof bytes)) return false;
  ParseInfoHeader(bytes, header);
  if (header.colorsUsed == 0 && header.bitCount < 32) header.colorsUsed = uint32_t(1) << header.bitCount;
  return true;
}

bool IsBmpBitCount(unsigned bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
}

bool GetBmpImageSize(const LBmpInfoHeader& header, bool icon, int& width, int& rows, bool& bottomUp) {
  int64_t height = header.height;
  if (icon) height /= 2;
  if (header.width <= 0 || height == 0) return false;
  uint64_t rowCount = height < 0 ? static_cast<uint64_t>(-height) : static_cast<uint64_t>(height);
  if (static_cast<uint64_t>(header.width) * rowCount > LARGEST_IMAGE_BUFFER / 4) return false;
  width = header.width;
  rows = static_cast<int>(rowCount);
  bottomUp = height > 0;
  return true;
}

bool ReadBmpTables(const LBmpInfoHeader& header, const unsigned char* bytes, size_t size, size_t paletteEnd,
                   LBmpBitmap& bitmap, uint64_t& end) {
  bitmap.bitCount = header.bitCount;
  bitmap.compression = header.compression;
  std::memset(bitmap.masks, 0, sizeof bitmap.masks);
  bitmap.hasAlphaMask = false;
  FillBlack(bitmap.palette);
  uint64_t at = header.size > BMP_INFO_HEADER_SIZE ? header.size - BMP_INFO_HEADER_SIZE : 0;
  if (header.compression == BMP_COMPRESSION_BITFIELDS) {
    const size_t maskBytes = header.size >= ALPHA_MASK_HEADER_SIZE ? 16 : 12;
    if (size < maskBytes) return false;
    ReadMasks(header, bytes, bitmap);
    if (at < 12) at = 12;
  }
  if (header.bitCount <= 8) {
    const uint64_t limit = paletteEnd < size ? paletteEnd : size;
    uint64_t entryNum = limit > at ? (limit - at) / PALETTE_ENTRY_SIZE : 0;
    if (entryNum > header.colorsUsed) entryNum = header.colorsUsed;
    if (entryNum > 256) entryNum = 256;
    if (entryNum > 0) ReadPalette(bytes + at, entryNum, bitmap.palette);
    at += uint64_t(header.colorsUsed) * PALETTE_ENTRY_SIZE;
  }
  end = at;
  return true;
}

}  // namespace lum
