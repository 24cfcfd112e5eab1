// A numbered message channel: it collects one whole message under its own
// lock, decorates it by its kind and hands the pieces to up to four listeners,
// or, on a thread that holds its messages (UMessageHold), to the hold.
#pragma once

#include "kor/CoreServices/Implementations/UCriticalSection.h"
#include "kor/CoreServices/Interfaces/IMessageSink.h"

namespace kor {

class UMessageHold;

enum MessageChannelKind {
  CHANNEL_KIND_DISCARD,  // channel 0: writes vanish
  CHANNEL_KIND_PLAIN,    // channels 1, 3, 4, 5, 6: text as written
  CHANNEL_KIND_DEBUG,    // channel 2: "DEBUG:   " and indented continuation lines
  CHANNEL_KIND_WARNING   // channel 7: "WARNING: " and indented continuation lines
};

// The kind each of the eight numbered channels has.
MessageChannelKind ChannelKindOf(int number);

class UMessageChannel : public IMessageSink, public UCriticalSection {
 public:
  enum { MAX_LISTENERS = 4 };

  explicit UMessageChannel(MessageChannelKind kind);
  ~UMessageChannel() noexcept(false) override;

  void Lock() override { EnterSection(); }
  void Unlock() override { LeaveSection(); }
  void BeginMessage() override;
  void Write(const UBaseString<unsigned char>& text) override;
  void EndMessage() override;

  virtual int AddListener(IMessageSink* sink);
  virtual IMessageSink* RemoveListener(IMessageSink* sink);
  virtual IMessageSink* RemoveListenerAt(int index);

  MessageChannelKind GetKind() const { return m_kind; }
  int GetListenerNum() const { return m_listenerNum; }
  IMessageSink* GetListener(int index) const;
  bool IsMessageOpen() const { return m_messageOpen; }

 private:
  void PlainBegin();
  void PlainEnd();
  void CloseHeld();
  void WriteToListeners(const UBaseString<unsigned char>& text);
  void WriteSplit(const UBaseString<unsigned char>& text);

  IMessageSink* m_listeners[MAX_LISTENERS];
  int m_listenerNum;
  bool m_messageOpen;
  MessageChannelKind m_kind;
  // The hold taking the open message, or null; set and read under the lock.
  UMessageHold* m_hold;
};

}  // namespace kor
