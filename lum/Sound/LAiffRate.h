// The sample rate of an AIFF file, stored as an 80-bit extended float.
#pragma once

#include <cstdint>

namespace lum {

// The rate rounded half up to whole samples per second, from the top 32
// mantissa bits and the exponent's low byte. False for an exponent whose
// shift would be negative or wider than the mantissa, or a rate beyond
// what the record holds.
bool DecodeAiffRate(const unsigned char* extended, int32_t& rate);

}  // namespace lum
