// An input stream over bytes that its creator keeps alive; seeks clamp to
// the range.
#pragma once

#include "kor/CoreServices/Interfaces/IInputStream.h"

namespace kor {

class UStream_Memory : public IInputStream {
 public:
  UStream_Memory(const void* bytes, uint64_t size)
      : m_bytes(static_cast<const unsigned char*>(bytes)), m_size(bytes ? size : 0), m_position(0) {}

  uint64_t Serialize(void* buffer, uint64_t size) override;
  void Close() override;
  bool IsOpen() override { return m_bytes != nullptr && m_size != 0; }
  UBaseString<unsigned char> GetName() override { return UBaseString<unsigned char>(); }
  uint64_t GetSize() override { return m_size; }
  uint64_t GetPosition() override { return m_position; }
  void SeekToBegin() override { m_position = 0; }
  void SeekToEnd() override { m_position = m_size; }
  IInputStream& SeekForward(int64_t distance) override;
  IInputStream& SeekBackward(int64_t distance) override;
  bool IsEndOfStream() override { return m_size == 0 || m_position >= m_size; }

 private:
  const unsigned char* m_bytes;
  uint64_t m_size;
  uint64_t m_position;
};

}  // namespace kor
