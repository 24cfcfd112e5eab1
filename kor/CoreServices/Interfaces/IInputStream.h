// A readable stream: files, archive members and memory all look alike to
// the loaders. Sizes and positions are unsigned 64-bit; one transfer is
// below 2^31 bytes.
#pragma once

#include <cstdint>

#include "kor/Utils/UBaseString.h"

namespace kor {

class IInputStream {
 public:
  // Reads up to size bytes; returns how many arrived.
  virtual uint64_t Serialize(void* buffer, uint64_t size) = 0;
  virtual ~IInputStream() noexcept(false) {}
  virtual void Close() = 0;
  virtual bool IsOpen() = 0;
  virtual UBaseString<unsigned char> GetName() = 0;
  virtual uint64_t GetSize() = 0;
  virtual uint64_t GetPosition() = 0;
  virtual void SeekToBegin() = 0;
  virtual void SeekToEnd() = 0;
  virtual IInputStream& SeekForward(int64_t distance) = 0;
  virtual IInputStream& SeekBackward(int64_t distance) = 0;
  virtual bool IsEndOfStream() = 0;
};

}  // namespace kor
