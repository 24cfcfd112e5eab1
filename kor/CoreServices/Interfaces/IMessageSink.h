// Something that receives whole messages: one BeginMessage, any number of
// Write calls, one EndMessage.
#pragma once

#include "kor/Utils/UBaseString.h"

namespace kor {

class IMessageSink {
 public:
  virtual ~IMessageSink() noexcept(false) {}
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
  virtual void BeginMessage() = 0;
  virtual void Write(const UBaseString<unsigned char>& text) = 0;
  virtual void EndMessage() = 0;
};

}  // namespace kor
