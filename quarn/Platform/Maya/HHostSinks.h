// The sinks that show the plug-in's messages in the host's message display:
// one for information, one for warnings, one for errors. Each holds its own
// lock for a whole message, always taken after the channel's lock.
#pragma once

#include "kor/CoreServices/Implementations/UCriticalSection.h"
#include "kor/CoreServices/Interfaces/IMessageSink.h"

namespace quarn {
namespace platform_maya {

class HHostSink : public kor::IMessageSink, private kor::UCriticalSection {
 public:
  typedef void (*DisplayFunction)(const char* text);

  explicit HHostSink(DisplayFunction display) : m_display(display) {}

  void Lock() override { EnterSection(); }
  void Unlock() override { LeaveSection(); }
  void BeginMessage() override { Lock(); }
  // Every piece a channel writes becomes one display call.
  void Write(const kor::UBaseString<unsigned char>& text) override { m_display(text.GetText()); }
  void EndMessage() override { Unlock(); }

 private:
  DisplayFunction m_display;
};

HHostSink& HostInfoSink();
HHostSink& HostWarningSink();
HHostSink& HostErrorSink();

}  // namespace platform_maya
}  // namespace quarn
