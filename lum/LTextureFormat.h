// Pixel formats of the image record and the descriptor of each: the bit
// width of every channel, the component count and a flag word.
#pragma once

namespace lum {

enum TextureFormat {
  TEXTURE_FORMAT_A8B8G8R8 = 0,
  TEXTURE_FORMAT_X8B8G8R8 = 1,
  TEXTURE_FORMAT_G16R16 = 2,
  TEXTURE_FORMAT_A16B16G16R16 = 3,
  TEXTURE_FORMAT_A8 = 4,
  TEXTURE_FORMAT_L8 = 5,
  TEXTURE_FORMAT_L16 = 6,
  TEXTURE_FORMAT_A8L8 = 7,
  TEXTURE_FORMAT_R16F = 8,
  TEXTURE_FORMAT_G16R16F = 9,
  TEXTURE_FORMAT_A16B16G16R16F = 10,
  TEXTURE_FORMAT_R32F = 11,
  TEXTURE_FORMAT_G32R32F = 12,
  TEXTURE_FORMAT_A32B32G32R32F = 13,
  TEXTURE_FORMAT_A8B8G8R8_V = 14,
  TEXTURE_FORMAT_BLOCK_RGB = 15,
  TEXTURE_FORMAT_BLOCK_RGB_A1 = 16,
  TEXTURE_FORMAT_BLOCK_RGBA_2 = 17,
  TEXTURE_FORMAT_BLOCK_RGBA_3 = 18,
  TEXTURE_FORMAT_BLOCK_RGBA_4 = 19,
  TEXTURE_FORMAT_BLOCK_RGBA_5 = 20,
  TEXTURE_FORMAT_BLOCK_RGB_V = 21,
  TEXTURE_FORMAT_BLOCK_RGB_A1_V = 22,
  TEXTURE_FORMAT_BLOCK_RGBA_3_V = 23,
  TEXTURE_FORMAT_BLOCK_RGBA_5_V = 24,
  TEXTURE_FORMAT_D16 = 25,
  TEXTURE_FORMAT_D32 = 26,
  TEXTURE_FORMAT_D24S8 = 27,
  TEXTURE_FORMAT_NONE = 28
};

// Column order of the channel widths in a descriptor.
enum TextureChannel {
  TEXTURE_CHANNEL_X = 0,  // filler
  TEXTURE_CHANNEL_D,      // depth
  TEXTURE_CHANNEL_S,      // stencil
  TEXTURE_CHANNEL_L,      // luminance
  TEXTURE_CHANNEL_A,
  TEXTURE_CHANNEL_B,
  TEXTURE_CHANNEL_G,
  TEXTURE_CHANNEL_R,
  TEXTURE_CHANNEL_NUM
};

enum TextureFormatFlag {
  TEXTURE_FLAG_FLOAT = 0x1,
  TEXTURE_FLAG_BLOCK = 0x100,
  TEXTURE_FLAG_VARIANT = 0x10000
};

struct LTextureFormatDescriptor {
  unsigned char bits[TEXTURE_CHANNEL_NUM];
  int components;
  unsigned flags;
};

// One row per format, the last for TEXTURE_FORMAT_NONE.
extern const LTextureFormatDescriptor TEXTURE_FORMAT_DESCRIPTORS[TEXTURE_FORMAT_NONE + 1];

// The row of a format; values outside the enumeration get the NONE row.
const LTextureFormatDescriptor& GetTextureFormatDescriptor(int format);

}  // namespace lum
