#include "JngColourStream.h"

#include <cstdint>
#include <cstring>

namespace {

uint32_t BigEndian32(const unsigned char* bytes) {
  return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
}

}  // namespace

bool FindJngColourStream(const std::vector<unsigned char>& file, JngColourStream& colour) {
  static const unsigned char signature[8] = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (file.size() < 8 || std::memcmp(file.data(), signature, 8) != 0) return false;
  colour = JngColourStream();
  for (size_t at = 8; at + 12 <= file.size();) {
    size_t length = BigEndian32(&file[at]);
    if (length > file.size() - at - 12) return false;
    const unsigned char* type = &file[at + 4];
    const unsigned char* data = &file[at + 8];
    if (std::memcmp(type, "JHDR", 4) == 0 && length >= 8)
      colour.width = int(BigEndian32(data)), colour.height = int(BigEndian32(data + 4));
    if (std::memcmp(type, "JDAT", 4) == 0) colour.jpeg.insert(colour.jpeg.end(), data, data + length);
    if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "JDAA", 4) == 0) {
      colour.alpha.insert(colour.alpha.end(), data, data + length);
      colour.alphaIsJpeg = type[0] == 'J';
    }
    if (std::memcmp(type, "JSEP", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) break;
    at += 12 + length;
  }
  return colour.width > 0 && colour.height > 0 && !colour.jpeg.empty();
}
