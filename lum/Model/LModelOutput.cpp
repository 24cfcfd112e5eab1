#include "lum/Model/LModelOutput.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "kor/ErrorDescription.h"
#include "lum/Image/LStreamBytes.h"

namespace lum {

void LModelOutput::Flush() {
  if (!m_failed && !WriteStreamBytes(m_stream, m_buffer.GetData(), static_cast<uint64_t>(m_buffer.GetNum())))
    m_failed = true;
  m_buffer.Erase(0, m_buffer.GetNum());
}

void LModelOutput::Write(const void* bytes, uint64_t size) {
  if (m_failed || size == 0) return;
  if (static_cast<uint64_t>(m_buffer.GetNum()) + size > BUFFER_SIZE) Flush();
  if (size >= BUFFER_SIZE) {
    if (!WriteStreamBytes(m_stream, bytes, size)) m_failed = true;
    return;
  }
  int at = m_buffer.Grow(static_cast<int>(size));
  std::memcpy(m_buffer.GetData() + at, bytes, static_cast<size_t>(size));
}

void LModelOutput::WriteText(const char* text) { Write(text, std::strlen(text)); }

void LModelOutput::Format(const char* format, ...) {
  // Room for the longest "%.4f" of a finite float (39 digits and more).
  char item[128];
  va_list arguments;
  va_start(arguments, format);
  int length = std::vsnprintf(item, sizeof item, format, arguments);
  va_end(arguments);
  assure(length >= 0 && length < static_cast<int>(sizeof item));
  Write(item, static_cast<uint64_t>(length));
}

void LModelOutput::WriteUInt32(uint32_t value) {
  unsigned char bytes[4];
  PutLittleEndian32(bytes, value);
  Write(bytes, sizeof bytes);
}

bool LModelOutput::Finish() {
  Flush();
  return !m_failed;
}

}  // namespace lum
