#include "lum/LTextureFormat.h"

namespace lum {

// Columns: X D S L A B G R, components, flags.
const LTextureFormatDescriptor TEXTURE_FORMAT_DESCRIPTORS[TEXTURE_FORMAT_NONE + 1] = {
    {{0, 0, 0, 0, 8, 8, 8, 8}, 4, 0},                  // A8B8G8R8
    {{8, 0, 0, 0, 0, 8, 8, 8}, 4, 0},                  // X8B8G8R8
    {{0, 0, 0, 0, 0, 0, 16, 16}, 2, 0},                // G16R16
    {{0, 0, 0, 0, 16, 16, 16, 16}, 4, 0},              // A16B16G16R16
    {{0, 0, 0, 0, 8, 0, 0, 0}, 1, 0},                  // A8
    {{0, 0, 0, 8, 0, 0, 0, 0}, 1, 0},                  // L8
    {{0, 0, 0, 16, 0, 0, 0, 0}, 1, 0},                 // L16
    {{0, 0, 0, 8, 8, 0, 0, 0}, 2, 0},                  // A8L8
    {{0, 0, 0, 0, 0, 0, 0, 16}, 1, TEXTURE_FLAG_FLOAT},  // R16F
    {{0, 0, 0, 0, 0, 0, 16, 16}, 2, TEXTURE_FLAG_FLOAT},    // G16R16F
    {{0, 0, 0, 0, 16, 16, 16, 16}, 4, TEXTURE_FLAG_FLOAT},  // A16B16G16R16F
    {{0, 0, 0, 0, 0, 0, 0, 32}, 1, TEXTURE_FLAG_FLOAT},     // R32F
    {{0, 0, 0, 0, 0, 0, 32, 32}, 2, TEXTURE_FLAG_FLOAT},    // G32R32F
    {{0, 0, 0, 0, 32, 32, 32, 32}, 4, TEXTURE_FLAG_FLOAT},  // A32B32G32R32F
    {{0, 0, 0, 0, 8, 8, 8, 8}, 4, TEXTURE_FLAG_VARIANT},    // A8B8G8R8_V
    {{0, 0, 0, 0, 0, 0, 0, 0}, 3, TEXTURE_FLAG_BLOCK},      // BLOCK_RGB
    {{0, 0, 0, 0, 1, 0, 0, 0}, 4, TEXTURE_FLAG_BLOCK},      // BLOCK_RGB_A1
    {{0, 0, 0, 0, 0, 0, 0, 0}, 4, TEXTURE_FLAG_BLOCK},      // BLOCK_RGBA_2
    {{0, 0, 0, 0, 0, 0, 0, 0}, 4, TEXTURE_FLAG_BLOCK},      // BLOCK_RGBA_3
    {{0, 0, 0, 0, 0, 0, 0, 0}, 4, TEXTURE_FLAG_BLOCK},      // BLOCK_RGBA_4
    {{0, 0, 0, 0, 0, 0, 0, 0}, 4, TEXTURE_FLAG_BLOCK},      // BLOCK_RGBA_5
    {{0, 0, 0, 0, 0, 0, 0, 0}, 3, TEXTURE_FLAG_BLOCK | TEXTURE_FLAG_VARIANT},  // BLOCK_RGB_V
    {{0, 0, 0, 0, 1, 0, 0, 0}, 4, TEXTURE_FLAG_BLOCK | TEXTURE_FLAG_VARIANT},  // BLOCK_RGB_A1_V
    {{0, 0, 0, 0, 0, 0, 0, 0}, 4, TEXTURE_FLAG_BLOCK | TEXTURE_FLAG_VARIANT},  // BLOCK_RGBA_3_V
    {{0, 0, 0, 0, 0, 0, 0, 0}, 4, TEXTURE_FLAG_BLOCK | TEXTURE_FLAG_VARIANT},  // BLOCK_RGBA_5_V
    {{0, 16, 0, 0, 0, 0, 0, 0}, 3, 0},                 // D16
    {{0, 32, 0, 0, 0, 0, 0, 0}, 3, 0},                 // D32
    {{0, 24, 8, 0, 0, 0, 0, 0}, 3, 0},                 // D24S8
    {{0, 0, 0, 0, 0, 0, 0, 0}, 0, 0},                  // NONE
};

const LTextureFormatDescriptor& GetTextureFormatDescriptor(int format) {
  if (format < 0 || format > TEXTURE_FORMAT_NONE) format = TEXTURE_FORMAT_NONE;
  return TEXTURE_FORMAT_DESCRIPTORS[format];
}

}  // namespace lum
