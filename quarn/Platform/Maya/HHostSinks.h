// The sinks that show the plug-in's messages in the host's message display:
// one for information, one for warnings, one for errors. All three hold one
// lock for a whole message, always taken after the channel's lock, so that
// messages from threads reading at once never interleave and the host is
// called by one thread at a time.
#pragma once

#include "kor/CoreServices/Implementations/UCriticalSection.h"
#include "kor/CoreServices/Interfaces/IMessageSink.h"

namespace quarn {
namespace platform_maya {

class HHostSink : public kor::IMessageSink {
 public:
  typedef void (*DisplayFunction)(const char* text);

  HHostSink(DisplayFunction display, kor::UCriticalSection& displayLock)
      : m_display(display), m_displayLock(displayLock) {}

  void Lock() override { m_displayLock.EnterSection(); }
  void Unlock() override { m_displayLock.LeaveSection(); }
  void BeginMessage() override { Lock(); }
  // Every piece a channel writes becomes one display call.
  void Write(const kor::UBaseString<unsigned char>& text) override { m_display(text.GetText()); }
  void EndMessage() override { Unlock(); }

 private:
  DisplayFunction m_display;
  kor::UCriticalSection& m_displayLock;
};

HHostSink& HostInfoSink();
HHostSink& HostWarningSink();
HHostSink& HostErrorSink();

}  // namespace platform_maya
}  // namespace quarn
