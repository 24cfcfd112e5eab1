// A raw deflate stream that expands about 1000 times: one dynamic block in
// which a match of 258 bytes at distance 1 costs two bits (the longest
// length and the only distance each have a one-bit code), so every body
// byte is zero. Cheap to build at any size, for tests of decoders that must
// stop once they have what they need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline std::vector<unsigned char> DeflateBomb(uint64_t outputBytes) {
  std::vector<unsigned char> stream;
  int bit = 0;
  auto bits = [&](uint32_t value, int count) {  // least significant first
    for (int i = 0; i < count; ++i) {
      if (bit == 0) stream.push_back(0);
      stream.back() = static_cast<unsigned char>(stream.back() | (((value >> i) & 1) << bit));
      bit = (bit + 1) & 7;
    }
  };
  auto code = [&](uint32_t value, int length) {  // most significant first
    for (int i = length - 1; i >= 0; --i) bits((value >> i) & 1, 1);
  };
  bits(1, 1);   // final
  bits(2, 2);   // dynamic
  bits(29, 5);  // 286 literal/length codes
  bits(0, 5);   // 1 distance code
  bits(14, 4);  // 18 code-length code lengths
  // In the listing order 16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13,
  // 2, 14, 1: the symbols 0, 1, 2 and 18 get two bits (codes 00, 01, 10, 11).
  const int listed[18] = {0, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2};
  for (int length : listed) bits(static_cast<uint32_t>(length), 3);
  code(2, 2);                // literal 0: length 2
  code(3, 2), bits(127, 7);  // 138 zeros
  code(3, 2), bits(106, 7);  // 117 zeros: literals 1 to 255
  code(2, 2);                // 256: length 2
  code(3, 2), bits(17, 7);   // 28 zeros: 257 to 284
  code(1, 2);                // 285: length 1
  code(1, 2);                // distance 0: length 1
  // 285 is code 0, literal 0 code 10, end of block 11; distance 0 code 0.
  code(2, 2);
  // Two zero bits per match: one at a time up to a byte boundary, then
  // whole zero bytes, then the rest.
  uint64_t zeroBits = 2 * (outputBytes > 1 ? (outputBytes - 1) / 258 : 0);
  for (; zeroBits > 0 && bit != 0; --zeroBits) bits(0, 1);
  stream.insert(stream.end(), static_cast<size_t>(zeroBits / 8), 0);
  bits(0, static_cast<int>(zeroBits % 8));
  code(3, 2);
  return stream;
}
