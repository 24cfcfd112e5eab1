#include "kor/CoreServices/Implementations/UStream_Memory.h"

#include <cstring>

namespace kor {

uint64_t UStream_Memory::Serialize(void* buffer, uint64_t size) {
  if (m_bytes == nullptr || m_position >= m_size || buffer == nullptr || size == 0) return 0;
  uint64_t count = size < m_size - m_position ? size : m_size - m_position;
  std::memcpy(buffer, m_bytes + m_position, static_cast<size_t>(count));
  m_position += count;
  return count;
}

void UStream_Memory::Close() {
  m_bytes = nullptr;
  m_size = 0;
  m_position = 0;
}

// Distances are handled as unsigned magnitudes once their sign is known, so
// that even the most negative distance cannot overflow.
static uint64_t Magnitude(int64_t distance) {
  return distance < 0 ? static_cast<uint64_t>(0) - static_cast<uint64_t>(distance)
                      : static_cast<uint64_t>(distance);
}

static uint64_t Forward(uint64_t position, uint64_t size, uint64_t step) {
  uint64_t remaining = position < size ? size - position : 0;
  return step >= remaining ? size : position + step;
}

static uint64_t Backward(uint64_t position, uint64_t step) {
  return step <= position ? position - step : 0;
}

IInputStream& UStream_Memory::SeekForward(int64_t distance) {
  m_position = distance < 0 ? Backward(m_position, Magnitude(distance))
                            : Forward(m_position, m_size, Magnitude(distance));
  return *this;
}

IInputStream& UStream_Memory::SeekBackward(int64_t distance) {
  m_position = distance < 0 ? Forward(m_position, m_size, Magnitude(distance))
                            : Backward(m_position, Magnitude(distance));
  return *this;
}

}  // namespace kor
