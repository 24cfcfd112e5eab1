// Buffered writing for the model writers. The first write that comes back
// short makes every later one a no-op and Finish false: a model that was
// not wholly written is never reported as saved.
#pragma once

#include <cstdint>

#include "kor/CoreServices/Interfaces/IOutputStream.h"
#include "kor/Utils/UArray.h"

namespace lum {

class LModelOutput {
 public:
  explicit LModelOutput(kor::IOutputStream& stream) : m_stream(stream), m_failed(false) {}

  void Write(const void* bytes, uint64_t size);
  void WriteText(const char* text);
  // One printf-style item; a single number or a short line.
  void Format(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  void WriteUInt32(uint32_t value);

  // Delivers what is buffered; true when every byte was taken.
  bool Finish();

 private:
  enum { BUFFER_SIZE = 1 << 16 };

  void Flush();

  kor::IOutputStream& m_stream;
  kor::UArray<unsigned char> m_buffer;
  bool m_failed;
};

}  // namespace lum
