#include "lum/Sound/LAiffRate.h"

namespace lum {

bool DecodeAiffRate(const unsigned char* extended, int32_t& rate) {
  uint32_t mantissa = (uint32_t(extended[2]) << 24) | (uint32_t(extended[3]) << 16) |
                      (uint32_t(extended[4]) << 8) | extended[5];
  // The mantissa's top bit stands for 2^exponent, so 30 less the
  // exponent's low byte shifts a normalised rate down to whole units.
  int shift = 30 - static_cast<int>(extended[1]);
  if (shift < 0 || shift > 31) return false;
  uint64_t value = mantissa;
  uint64_t lastOut = 0;
  if (shift > 0) {
    lastOut = (value >> (shift - 1)) & 1;
    value >>= shift;
  }
  value += lastOut;
  if (value > 0x7FFFFFFF) return false;
  rate = static_cast<int32_t>(value);
  return true;
}

}  // namespace lum
