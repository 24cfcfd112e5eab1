#include "lum/Image/LPngUnpack.h"

#include <cstdint>
#include <cstring>

#include "lum/Image/LPngHeader.h"
#include "lum/LTextureFormat.h"

namespace lum {

namespace {

inline unsigned BigEndian16(const unsigned char* bytes) {
  return (static_cast<unsigned>(bytes[0]) << 8) | bytes[1];
}

// The record keeps 16-bit words in machine order.
inline void StoreWord(unsigned char* to, unsigned value) {
  uint16_t word = static_cast<uint16_t>(value);
  std::memcpy(to, &word, 2);
}

// Runs convert(in, out) on count pixels. The common case of pixels side by
// side gets a loop of its own whose constant stride the compiler can
// vectorise; interlaced passes take the strided one.
template <size_t IN_BYTES, size_t OUT_BYTES, class Convert>
inline void ForEachPixel(const unsigned char* in, unsigned char* out, size_t count, ptrdiff_t step,
                         Convert convert) {
  if (step == static_cast<ptrdiff_t>(OUT_BYTES)) {
#pragma GCC unroll 4
    for (size_t i = 0; i < count; ++i) convert(in + i * IN_BYTES, out + i * OUT_BYTES);
  } else {
    for (size_t i = 0; i < count; ++i, out += step) convert(in + i * IN_BYTES, out);
  }
}

// Samples narrower than a byte, most significant bits first.
template <int DEPTH>
inline unsigned SubByteSample(const unsigned char* in, size_t index) {
  size_t bit = index * DEPTH;
  unsigned shift = 8 - DEPTH - static_cast<unsigned>(bit & 7);
  return (in[bit >> 3] >> shift) & ((1u << DEPTH) - 1);
}

template <int DEPTH>
void UnpackGreyBits(const unsigned char* in, unsigned char* out, size_t count, ptrdiff_t step,
                    const unsigned char*) {
  const unsigned scale = 255 / ((1u << DEPTH) - 1);
  for (size_t i = 0; i < count; ++i, out += step)
    *out = static_cast<unsigned char>(SubByteSample<DEPTH>(in, i) * scale);
}

void UnpackGrey8(const unsigned char* in, unsigned char* out, size_t count, ptrdiff_t step,
                 const unsigned char*) {
  if (step == 1) {
    std::memcpy(out, in, count);
    return;
  }
  for (size_t i = 0; i < count; ++i, out += step) *out = in[i];
}

void UnpackGrey16(const unsigned char* in, unsigned char* out, size_t count, ptrdiff_t step,
                  const unsigned char*) {
  ForEachPixel<2, 2>(in, out, count, step,
                     [](const unsigned char* s, unsigned char* p) { StoreWord(p, BigEndian16(s)); });
}

void UnpackGreyAlpha8(const unsigned char* in, unsigned char* out, size_t count, ptrdiff_t step,
                      const unsigned char*) {
  ForEachPixel<2, 2>(in, out, count, step, [](const unsigned char* s, unsigned char* p) {
    p[0] = s[1];
    p[1] = s[0];
  });
}

void UnpackGreyAlpha16(const unsigned char* in, unsigned char* out, size_t count, ptrdiff_t step,
                       const unsigned char*) {
  ForEachPixel<4, 2>(in, out, count, step, [](const unsigned char* s, unsigned char* p) {
    p[0] = static_cast<unsigned char>(BigEndian16(s + 2) / 257);
    p[1] = static_cast<unsigned char>(BigEndian16(s) / 257);
  });
}

// Reverses the order of four bytes; whatever the machine's byte order, a
// word loaded, swapped and stored comes out reversed. Compilers turn the
// shifts into one instruction.
inline void CopyReversed(const unsigned char* from, unsigned char* to) {
  uint32_t word;
  std::memcpy(&word, from, 4);
  word = (word >> 24) | ((word >> 8) & 0xFF00) | ((word << 8) & 0xFF0000) | (word << 24);
  std::memcpy(to, &word, 4);
}

void UnpackRgb8(const unsigned char* in, unsigned char* out, size_t count, ptrdiff_t step,
                const unsigned char*) {
  if (count == 0) return;
  // Red, green, blue and the next pixel's red reversed put blue, green and
  // red in place; the filler then replaces that red. The last pixel has no
  // next one to read.
  ForEachPixel<3, 4>(in, out, count - 1, step, [](const unsigned char* s, unsigned char* p) {
    CopyReversed(s, p);
    p[0] = 255;
  });
  const unsigned char* s = in + 3 * (count - 1);
  unsigned char* p = out + step * static_cast<ptrdiff_t>(count - 1);
  p[0] = 255;
  p[1] = s[2];
  p[2] = s[1];
  p[3] = s[0];
}

void UnpackRgb16(const unsigned char* in, unsigned char* out, size_t count, ptrdiff_t step,
                 const unsigned char*) {
  ForEachPixel<6, 8>(in, out, count, step, [](const unsigned char* s, unsigned char* p) {
    StoreWord(p, 65535);
    StoreWord(p + 2, BigEndian16(s + 4));
    StoreWord(p + 4, BigEndian16(s + 2));
    StoreWord(p + 6, BigEndian16(s));
  });
}

void UnpackRgba8(const unsigned char* in, unsigned char* out, size_t count, ptrdiff_t step,
                 const unsigned char*) {
  ForEachPixel<4, 4>(in, out, count, step, [](const unsigned char* s, unsigned char* p) { CopyReversed(s, p); });
}

void UnpackRgba16(const unsigned char* in, unsigned char* out, size_t count, ptrdiff_t step,
                  const unsigned char*) {
  ForEachPixel<8, 8>(in, out, count, step, [](const unsigned char* s, unsigned char* p) {
    StoreWord(p, BigEndian16(s + 6));
    StoreWord(p + 2, BigEndian16(s + 4));
    StoreWord(p + 4, BigEndian16(s + 2));
    StoreWord(p + 6, BigEndian16(s));
  });
}

template <int DEPTH>
void UnpackPaletteBits(const unsigned char* in, unsigned char* out, size_t count, ptrdiff_t step,
                       const unsigned char* table) {
  for (size_t i = 0; i < count; ++i, out += step)
    std::memcpy(out, table + 4 * SubByteSample<DEPTH>(in, i), 4);
}

void UnpackPalette8(const unsigned char* in, unsigned char* out, size_t count, ptrdiff_t step,
                    const unsigned char* table) {
  // The index widened as an unsigned size: as an int it would be
  // sign-extended once a pixel.
  ForEachPixel<1, 4>(in, out, count, step, [table](const unsigned char* s, unsigned char* p) {
    std::memcpy(p, table + 4 * static_cast<size_t>(*s), 4);
  });
}

struct LayoutRow {
  int colorType;
  int bitDepth;
  PngPixelLayout layout;
};

// Every colour type with the depths it allows.
const LayoutRow LAYOUTS[] = {
    {PngHeader::COLOR_TYPE_GREY, 1, {1, 1, &UnpackGreyBits<1>}},
    {PngHeader::COLOR_TYPE_GREY, 2, {2, 1, &UnpackGreyBits<2>}},
    {PngHeader::COLOR_TYPE_GREY, 4, {4, 1, &UnpackGreyBits<4>}},
    {PngHeader::COLOR_TYPE_GREY, 8, {8, 1, &UnpackGrey8}},
    {PngHeader::COLOR_TYPE_GREY, 16, {16, 2, &UnpackGrey16}},
    {PngHeader::COLOR_TYPE_RGB, 8, {24, 4, &UnpackRgb8}},
    {PngHeader::COLOR_TYPE_RGB, 16, {48, 8, &UnpackRgb16}},
    {PngHeader::COLOR_TYPE_PALETTE, 1, {1, 4, &UnpackPaletteBits<1>}},
    {PngHeader::COLOR_TYPE_PALETTE, 2, {2, 4, &UnpackPaletteBits<2>}},
    {PngHeader::COLOR_TYPE_PALETTE, 4, {4, 4, &UnpackPaletteBits<4>}},
    {PngHeader::COLOR_TYPE_PALETTE, 8, {8, 4, &UnpackPalette8}},
    {PngHeader::COLOR_TYPE_GREY_ALPHA, 8, {16, 2, &UnpackGreyAlpha8}},
    {PngHeader::COLOR_TYPE_GREY_ALPHA, 16, {32, 2, &UnpackGreyAlpha16}},
    {PngHeader::COLOR_TYPE_RGB_ALPHA, 8, {32, 4, &UnpackRgba8}},
    {PngHeader::COLOR_TYPE_RGB_ALPHA, 16, {64, 8, &UnpackRgba16}},
};

}  // namespace

bool GetPngPixelLayout(int colorType, int bitDepth, PngPixelLayout& layout) {
  for (const LayoutRow& row : LAYOUTS)
    if (row.colorType == colorType && row.bitDepth == bitDepth) {
      layout = row.layout;
      return true;
    }
  return false;
}

int GetPngPixelFormat(int colorType, int bitDepth) {
  bool wide = bitDepth == 16;
  switch (colorType) {
    case PngHeader::COLOR_TYPE_GREY: return wide ? TEXTURE_FORMAT_L16 : TEXTURE_FORMAT_L8;
    case PngHeader::COLOR_TYPE_RGB: return wide ? TEXTURE_FORMAT_A16B16G16R16 : TEXTURE_FORMAT_X8B8G8R8;
    case PngHeader::COLOR_TYPE_PALETTE: return TEXTURE_FORMAT_X8B8G8R8;
    case PngHeader::COLOR_TYPE_GREY_ALPHA: return TEXTURE_FORMAT_A8L8;
    case PngHeader::COLOR_TYPE_RGB_ALPHA: return wide ? TEXTURE_FORMAT_A16B16G16R16 : TEXTURE_FORMAT_A8B8G8R8;
    default: return TEXTURE_FORMAT_NONE;
  }
}

void BuildPngPaletteTable(const unsigned char* entries, int entryNum,
                          unsigned char table[PNG_PALETTE_TABLE_SIZE]) {
  int given = entries == nullptr || entryNum < 0 ? 0 : entryNum < 256 ? entryNum : 256;
  for (int i = 0; i < 256; ++i) {
    unsigned char* pixel = table + 4 * i;
    pixel[0] = 255;
    pixel[1] = i < given ? entries[3 * i + 2] : 0;
    pixel[2] = i < given ? entries[3 * i + 1] : 0;
    pixel[3] = i < given ? entries[3 * i] : 0;
  }
}

}  // namespace lum
