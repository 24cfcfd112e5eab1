#include "kor/CoreServices/Implementations/UMessageChannel.h"

#include "kor/CoreServices/Implementations/UMessageHold.h"

namespace kor {

namespace {
const char* const kDebugPrefix = "DEBUG:   ";
const char* const kWarningPrefix = "WARNING: ";
// Continuation lines align under the text that follows a prefix.
const char* const kIndent = "         ";
}  // namespace

MessageChannelKind ChannelKindOf(int number) {
  switch (number) {
    case 1: case 3: case 4: case 5: case 6: return CHANNEL_KIND_PLAIN;
    case 2: return CHANNEL_KIND_DEBUG;
    case 7: return CHANNEL_KIND_WARNING;
    default: return CHANNEL_KIND_DISCARD;
  }
}

UMessageChannel::UMessageChannel(MessageChannelKind kind)
    : m_listeners(), m_listenerNum(0), m_messageOpen(false), m_kind(kind), m_hold(nullptr) {}

UMessageChannel::~UMessageChannel() noexcept(false) {
  if (m_hold) CloseHeld();
  else if (m_messageOpen) PlainEnd();
}

void UMessageChannel::CloseHeld() {
  m_hold = nullptr;
  m_messageOpen = false;
  Unlock();
}

void UMessageChannel::PlainBegin() {
  Lock();
  m_messageOpen = true;
  for (int i = 0; i < m_listenerNum; ++i) m_listeners[i]->BeginMessage();
}

void UMessageChannel::PlainEnd() {
  for (int i = 0; i < m_listenerNum; ++i) m_listeners[i]->EndMessage();
  m_messageOpen = false;
  Unlock();
}

void UMessageChannel::WriteToListeners(const UBaseString<unsigned char>& text) {
  for (int i = 0; i < m_listenerNum; ++i) m_listeners[i]->Write(text);
}

// A message begun inside a hold's scope goes to the hold as it was written,
// and is decorated when it is replayed through this channel. The lock is
// taken all the same: it keeps the open message, and so the hold, this
// thread's.
void UMessageChannel::BeginMessage() {
  UMessageHold* hold = UMessageHold::Current();
  if (hold) {
    Lock();
    m_messageOpen = true;
    m_hold = hold;
    try {
      hold->Begin(this);
    } catch (...) {
      CloseHeld();
      throw;
    }
    return;
  }
  PlainBegin();
  if (m_kind == CHANNEL_KIND_DEBUG) WriteToListeners(kDebugPrefix);
  else if (m_kind == CHANNEL_KIND_WARNING) WriteToListeners(kWarningPrefix);
}

void UMessageChannel::Write(const UBaseString<unsigned char>& text) {
  if (m_hold) {
    m_hold->Write(this, text);
    return;
  }
  switch (m_kind) {
    case CHANNEL_KIND_DISCARD: return;
    case CHANNEL_KIND_PLAIN: WriteToListeners(text); return;
    default: WriteSplit(text); return;
  }
}

// Every line break the caller wrote reaches the listeners, each followed by
// the indent; the rest after the last break (possibly empty) closes it.
void UMessageChannel::WriteSplit(const UBaseString<unsigned char>& text) {
  const char* chars = text.GetText();
  int pos = 0;
  for (;;) {
    int k = pos;
    while (chars[k] != '\0' && !(chars[k] == '\r' && chars[k + 1] == '\n')) ++k;
    if (chars[k] == '\0') {
      WriteToListeners(UBaseString<unsigned char>(chars + pos, k - pos));
      return;
    }
    WriteToListeners(UBaseString<unsigned char>(chars + pos, k + 2 - pos));
    WriteToListeners(kIndent);
    pos = k + 2;
  }
}

void UMessageChannel::EndMessage() {
  if (m_hold) {
    struct Closer {
      UMessageChannel* channel;
      ~Closer() { channel->CloseHeld(); }
    } closer{this};
    m_hold->End(this);
    return;
  }
  if (m_kind != CHANNEL_KIND_DISCARD) WriteToListeners("\r\n");
  PlainEnd();
}

int UMessageChannel::AddListener(IMessageSink* sink) {
  if (m_listenerNum == MAX_LISTENERS) return -1;
  m_listeners[m_listenerNum] = sink;
  return m_listenerNum++;
}

IMessageSink* UMessageChannel::RemoveListener(IMessageSink* sink) {
  for (int i = 0; i < m_listenerNum; ++i)
    if (m_listeners[i] == sink) return RemoveListenerAt(i);
  return nullptr;
}

IMessageSink* UMessageChannel::RemoveListenerAt(int index) {
  if (index < 0 || index >= m_listenerNum) return nullptr;
  IMessageSink* removed = m_listeners[index];
  for (int i = index; i + 1 < m_listenerNum; ++i) m_listeners[i] = m_listeners[i + 1];
  m_listeners[--m_listenerNum] = nullptr;
  return removed;
}

IMessageSink* UMessageChannel::GetListener(int index) const {
  return (index >= 0 && index < m_listenerNum) ? m_listeners[index] : nullptr;
}

}  // namespace kor
