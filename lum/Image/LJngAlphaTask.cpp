#include "lum/Image/LJngAlphaTask.h"

#include <system_error>

#include "lum/Image/LJngAlpha.h"

namespace lum {

LJngAlphaTask::LJngAlphaTask(const LLoader_Image_JNG::JngHeader& header, const LJngStreams& streams,
                             const kor::UString& streamName, int width, int height)
    : m_header(header),
      m_streams(streams),
      m_streamName(streamName),
      m_width(width),
      m_height(height),
      m_ready(false),
      m_decoded(false) {}

LJngAlphaTask::~LJngAlphaTask() {
  if (m_thread.joinable()) m_thread.join();
}

bool LJngAlphaTask::Start() {
  try {
    m_thread = std::thread(&LJngAlphaTask::Run, this);
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

// Nothing may leave a thread's function: whatever the decode raises goes
// back to the caller as it was raised.
void LJngAlphaTask::Run() {
  try {
    kor::UMessageHold::Scope hold(m_messages);
    m_decoded = DecodeJngAlpha(m_header, m_streams, m_streamName, m_width, m_height, m_alpha);
    if (m_decoded) m_ready.store(true, std::memory_order_release);
  } catch (...) {
    m_error = std::current_exception();
  }
}

bool LJngAlphaTask::Finish() {
  if (m_thread.joinable()) m_thread.join();
  m_messages.Replay();
  if (m_error) std::rethrow_exception(m_error);
  return m_decoded;
}

}  // namespace lum
