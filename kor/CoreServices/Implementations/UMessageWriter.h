// Composes one message on a channel: the channel is opened (and locked) at
// construction and the whole text is delivered as one Write when the writer
// finishes at scope end, also while an exception leaves the scope.
#pragma once

#include <cstdint>

#include "kor/CoreServices/Interfaces/IMessageSink.h"

namespace kor {

class UMessageWriter {
 public:
  UMessageWriter(IMessageSink* channel, const char* text);
  UMessageWriter(const UMessageWriter&) = delete;
  UMessageWriter& operator=(const UMessageWriter&) = delete;
  ~UMessageWriter() noexcept(false) { Finish(); }

  UMessageWriter& operator<<(const char* text);
  UMessageWriter& operator<<(const UBaseString<unsigned char>& text);
  UMessageWriter& operator<<(int32_t value);
  UMessageWriter& operator<<(uint32_t value);
  UMessageWriter& operator<<(int64_t value);
  UMessageWriter& operator<<(uint64_t value);
  UMessageWriter& operator<<(double value);

  // Delivers the message; later appends are ignored.
  void Finish();

 private:
  IMessageSink* m_channel;
  UBaseString<unsigned char> m_buffer;
};

}  // namespace kor
