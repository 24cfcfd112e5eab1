#include "kor/CoreServices/Implementations/UMessageWriter.h"

namespace kor {

UMessageWriter::UMessageWriter(IMessageSink* channel, const char* text) : m_channel(channel) {
  if (m_channel) m_channel->BeginMessage();
  *this << text;
}

UMessageWriter& UMessageWriter::operator<<(const char* text) {
  if (m_channel) m_buffer.Append(text);
  return *this;
}

UMessageWriter& UMessageWriter::operator<<(const UBaseString<unsigned char>& text) {
  return *this << text.GetText();
}

UMessageWriter& UMessageWriter::operator<<(int32_t value) {
  return *this << UBaseString<unsigned char>::FromInt(value);
}

UMessageWriter& UMessageWriter::operator<<(uint32_t value) {
  return *this << UBaseString<unsigned char>::FromUInt64(value);
}

UMessageWriter& UMessageWriter::operator<<(int64_t value) {
  return *this << UBaseString<unsigned char>::FromInt64(value);
}

UMessageWriter& UMessageWriter::operator<<(uint64_t value) {
  return *this << UBaseString<unsigned char>::FromUInt64(value);
}

UMessageWriter& UMessageWriter::operator<<(double value) {
  return *this << UBaseString<unsigned char>::FromDouble(value);
}

void UMessageWriter::Finish() {
  if (m_channel == nullptr) return;
  IMessageSink* channel = m_channel;
  m_channel = nullptr;
  // The channel must be closed (and unlocked) even when a listener throws.
  struct Closer {
    IMessageSink* channel;
    ~Closer() noexcept(false) { channel->EndMessage(); }
  } closer{channel};
  channel->Write(m_buffer);
}

}  // namespace kor
