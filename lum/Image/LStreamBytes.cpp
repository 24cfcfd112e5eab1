#include "lum/Image/LStreamBytes.h"

#include "kor/ErrorDescription.h"

namespace lum {

bool ReadStreamBytes(kor::IInputStream& stream, void* buffer, uint64_t size) {
  return size == 0 || stream.Serialize(buffer, size) == size;
}

bool ReadStreamRemainder(kor::IInputStream& stream, uint64_t limit, kor::UArray<unsigned char>& bytes) {
  KOR_GUARD_BEGIN
  uint64_t size = stream.GetSize();
  uint64_t position = stream.GetPosition();
  uint64_t remainder = size > position ? size - position : 0;
  if (remainder > limit) remainder = limit;
  if (remainder > LARGEST_IMAGE_BUFFER) return false;
  bytes.EmptyExact(static_cast<int>(remainder));
  bytes.Grow(static_cast<int>(remainder));
  return ReadStreamBytes(stream, bytes.GetData(), remainder);
  KOR_GUARD_END
}

bool WriteStreamBytes(kor::IOutputStream& stream, const void* buffer, uint64_t size) {
  return size == 0 || stream.Serialize(buffer, size) == size;
}

unsigned char* NewPixelArray(uint64_t count, unsigned pixelBytes) {
  if (pixelBytes == 0 || count > LARGEST_IMAGE_BUFFER / pixelBytes) return nullptr;
  return new unsigned char[static_cast<size_t>(count * pixelBytes)];
}

}  // namespace lum
