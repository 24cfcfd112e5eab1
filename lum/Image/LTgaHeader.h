// The 18-byte header that starts every Truevision file (little-endian
// numbers), and what it says about the pixels that follow it.
#pragma once

namespace lum {

enum { TGA_HEADER_SIZE = 18 };

enum TgaImageType {
  TGA_TYPE_NONE = 0,
  TGA_TYPE_COLOR_MAPPED = 1,
  TGA_TYPE_TRUE_COLOR = 2,
  TGA_TYPE_GRAYSCALE = 3,
  TGA_TYPE_RLE_COLOR_MAPPED = 9,
  TGA_TYPE_RLE_TRUE_COLOR = 10,
  TGA_TYPE_RLE_GRAYSCALE = 11
};

enum TgaDescriptorBits {
  TGA_ATTRIBUTE_BITS = 0x0F,  // alpha bits per pixel
  TGA_RIGHT_TO_LEFT = 0x10,
  TGA_TOP_TO_BOTTOM = 0x20,
  TGA_INTERLEAVING = 0xC0
};

struct LTgaHeader {
  unsigned idLength;
  unsigned colorMapType;  // 0 none, 1 present
  unsigned imageType;
  unsigned colorMapFirst;
  unsigned colorMapLength;
  unsigned colorMapEntrySize;  // bits
  unsigned xOrigin;
  unsigned yOrigin;
  unsigned width;
  unsigned height;
  unsigned pixelDepth;  // bits
  unsigned descriptor;
};

void ParseTgaHeader(const unsigned char* bytes, LTgaHeader& header);
void FormatTgaHeader(const LTgaHeader& header, unsigned char* bytes);

// 8, 15, 16, 24 or 32 bits.
bool IsTgaPixelDepth(unsigned depth);

// The record format: L8 for greyscale; otherwise by the colour-map entry
// size (colour-mapped types) or the pixel depth: 15 and 16 bits with alpha
// bits in the descriptor and 32 bits have alpha, everything else has not.
int GetTgaPixelFormat(const LTgaHeader& header);

// The bytes a colour-map entry of the header's entry size takes.
unsigned TgaColorMapEntryBytes(const LTgaHeader& header);

}  // namespace lum
