#include "kor/CoreServices/Implementations/UMessageChannel.h"

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
    : m_listeners(), m_listenerNum(0), m_messageOpen(false), m_kind(kind) {}

UMessageChannel::~UMessageChannel() noexcept(false) {
  if (m_messageOpen) PlainEnd();
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

void UMessageChannel::BeginMessage() {
  PlainBegin();
  if (m_kind == CHANNEL_KIND_DEBUG) WriteToListeners(kDebugPrefix);
  else if (m_kind == CHANNEL_KIND_WARNING) WriteToListeners(kWarningPrefix);
}

void UMessageChannel::Write(const UBaseString<unsigned char>& text) {
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
