// A writable stream.
#pragma once

#include <cstdint>

#include "kor/Utils/UBaseString.h"

namespace kor {

class IOutputStream {
 public:
  // Writes up to size bytes; returns how many were taken.
  virtual uint64_t Serialize(const void* buffer, uint64_t size) = 0;
  virtual ~IOutputStream() noexcept(false) {}
  virtual void Close() = 0;
  virtual bool IsOpen() = 0;
  virtual UBaseString<unsigned char> GetName() = 0;
  virtual void Flush() = 0;
};

}  // namespace kor
