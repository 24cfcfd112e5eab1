// The eight process-wide output slots: the points where the services'
// channels end and the host's display sinks are attached.
#pragma once

#include "kor/CoreServices/Implementations/UCriticalSection.h"
#include "kor/CoreServices/Interfaces/IMessageSink.h"

namespace kor {

class UOutputSlot : public IMessageSink, public UCriticalSection {
 public:
  enum { SLOT_NUM = 8 };

  UOutputSlot() : m_sink(nullptr) {}

  void Lock() override { EnterSection(); }
  void Unlock() override { LeaveSection(); }
  // Forwarding takes no lock of the slot: the channel's lock covers it.
  void BeginMessage() override {
    if (m_sink) m_sink->BeginMessage();
  }
  void Write(const UBaseString<unsigned char>& text) override {
    if (m_sink) m_sink->Write(text);
  }
  void EndMessage() override {
    if (m_sink) m_sink->EndMessage();
  }

  // Swaps in a sink (null detaches) and hands back the previous one; the
  // slot never deletes a sink.
  IMessageSink* Attach(IMessageSink* sink) {
    Lock();
    IMessageSink* previous = m_sink;
    m_sink = sink;
    Unlock();
    return previous;
  }
  IMessageSink* GetSink() {
    Lock();
    IMessageSink* sink = m_sink;
    Unlock();
    return sink;
  }

 private:
  IMessageSink* m_sink;
};

// Slot number n (0 to 7), living from library load to unload; null for
// other numbers, and once the slots are gone.
UOutputSlot* GetProcessOutputSlot(int number);

}  // namespace kor
