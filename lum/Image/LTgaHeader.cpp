#include "lum/Image/LTgaHeader.h"

#include "lum/Image/LStreamBytes.h"
#include "lum/LTextureFormat.h"

namespace lum {

void ParseTgaHeader(const unsigned char* bytes, LTgaHeader& header) {
  header.idLength = bytes[0];
  header.colorMapType = bytes[1];
  header.imageType = bytes[2];
  header.colorMapFirst = LittleEndian16(bytes + 3);
  header.colorMapLength = LittleEndian16(bytes + 5);
  header.colorMapEntrySize = bytes[7];
  header.xOrigin = LittleEndian16(bytes + 8);
  header.yOrigin = LittleEndian16(bytes + 10);
  header.width = LittleEndian16(bytes + 12);
  header.height = LittleEndian16(bytes + 14);
  header.pixelDepth = bytes[16];
  header.descriptor = bytes[17];
}

void FormatTgaHeader(const LTgaHeader& header, unsigned char* bytes) {
  bytes[0] = static_cast<unsigned char>(header.idLength);
  bytes[1] = static_cast<unsigned char>(header.colorMapType);
  bytes[2] = static_cast<unsigned char>(header.imageType);
  PutLittleEndian16(bytes + 3, header.colorMapFirst);
  PutLittleEndian16(bytes + 5, header.colorMapLength);
  bytes[7] = static_cast<unsigned char>(header.colorMapEntrySize);
  PutLittleEndian16(bytes + 8, header.xOrigin);
  PutLittleEndian16(bytes + 10, header.yOrigin);
  PutLittleEndian16(bytes + 12, header.width);
  PutLittleEndian16(bytes + 14, header.height);
  bytes[16] = static_cast<unsigned char>(header.pixelDepth);
  bytes[17] = static_cast<unsigned char>(header.descriptor);
}

bool IsTgaPixelDepth(unsigned depth) {
  return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

int GetTgaPixelFormat(const LTgaHeader& header) {
  if (header.imageType == TGA_TYPE_GRAYSCALE || header.imageType == TGA_TYPE_RLE_GRAYSCALE)
    return TEXTURE_FORMAT_L8;
  bool colorMapped = header.imageType == TGA_TYPE_COLOR_MAPPED || header.imageType == TGA_TYPE_RLE_COLOR_MAPPED;
  unsigned bits = colorMapped ? header.colorMapEntrySize : header.pixelDepth;
  if (bits == 15 || bits == 16)
    return (header.descriptor & TGA_ATTRIBUTE_BITS) ? TEXTURE_FORMAT_A8B8G8R8 : TEXTURE_FORMAT_X8B8G8R8;
  return bits == 32 ? TEXTURE_FORMAT_A8B8G8R8 : TEXTURE_FORMAT_X8B8G8R8;
}

unsigned TgaColorMapEntryBytes(const LTgaHeader& header) { return (header.colorMapEntrySize + 1) / 8; }

}  // namespace lum
