// The 15- and 16-bit pixels that TGA and BMP files share: a little-endian
// word with blue in bits 0-4, green in bits 5-9 and red in bits 10-14. The
// top bit carries no colour.
#pragma once

namespace lum {

// A 5-bit channel stretched to 8 bits the way these files have always been
// read here: the integer part of v x 8.226 in single precision (31 -> 255).
inline unsigned char Expand5Bits(unsigned value) {
  return static_cast<unsigned char>(static_cast<float>(value & 31u) * 8.226f);
}

// One word as a record pixel: filler 255, blue, green, red.
inline void Convert555(unsigned word, unsigned char* pixel) {
  pixel[0] = 255;
  pixel[1] = Expand5Bits(word);
  pixel[2] = Expand5Bits(word >> 5);
  pixel[3] = Expand5Bits(word >> 10);
}

}  // namespace lum
