// Whole runs of bytes to and from streams, and the little-endian numbers of
// the Windows and Truevision image formats. A transfer that comes back short
// counts as failed: bytes that never arrived are never used, and a file that
// was not wholly written is not reported as saved.
#pragma once

#include <cstdint>

#include "kor/CoreServices/Interfaces/IInputStream.h"
#include "kor/CoreServices/Interfaces/IOutputStream.h"
#include "kor/Utils/UArray.h"

namespace lum {

// The largest array the containers hold: no buffer of a loader is larger.
const uint64_t LARGEST_IMAGE_BUFFER = 0x7FFFFFC0;

bool ReadStreamBytes(kor::IInputStream& stream, void* buffer, uint64_t size);

// What is left of the stream, but at most limit bytes, in one request.
// False when that is more than a buffer can hold or the read comes back
// short.
bool ReadStreamRemainder(kor::IInputStream& stream, uint64_t limit, kor::UArray<unsigned char>& bytes);

bool WriteStreamBytes(kor::IOutputStream& stream, const void* buffer, uint64_t size);

// The pixel array of an image of count pixels of pixelBytes each, or null
// when it would be larger than a buffer can hold.
unsigned char* NewPixelArray(uint64_t count, unsigned pixelBytes);

inline unsigned LittleEndian16(const unsigned char* bytes) {
  return static_cast<unsigned>(bytes[0]) | (static_cast<unsigned>(bytes[1]) << 8);
}

inline uint32_t LittleEndian32(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

inline void PutLittleEndian16(unsigned char* bytes, unsigned value) {
  bytes[0] = static_cast<unsigned char>(value);
  bytes[1] = static_cast<unsigned char>(value >> 8);
}

inline void PutLittleEndian32(unsigned char* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace lum
