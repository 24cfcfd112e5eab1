// A JNG's alpha channel decoded on a second thread while the calling thread
// decodes the colour. What the alpha side says is held and replayed on the
// calling thread, and its error is carried back there, so that the outcome
// is that of decoding the alpha first on the calling thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <thread>

#include "kor/CoreServices/Implementations/UMessageHold.h"
#include "kor/Utils/UBaseString.h"
#include "lum/Image/LJngStreams.h"
#include "lum/Image/LLoader_Image_JNG.h"
#include "lum/LData_Image.h"

namespace lum {

class LJngAlphaTask {
 public:
  // The alpha of streams, decoded as DecodeJngAlpha does into a record of
  // width x height. header and streams must outlive the task.
  LJngAlphaTask(const LLoader_Image_JNG::JngHeader& header, const LJngStreams& streams,
                const kor::UString& streamName, int width, int height);
  // Waits for the thread, if one still runs.
  ~LJngAlphaTask();
  LJngAlphaTask(const LJngAlphaTask&) = delete;
  LJngAlphaTask& operator=(const LJngAlphaTask&) = delete;

  // Starts the decode on a thread of its own. False, with nothing started,
  // when the system gives no thread.
  bool Start();

  // After Start: waits for the thread, then replays its messages on the
  // calling thread.
  // True when the alpha was decoded; false when it was refused (after its
  // messages); its error is raised again here.
  bool Finish();

  // Set, with release order, once the record is complete and fits.
  const std::atomic<bool>& Ready() const { return m_ready; }
  const LData_Image& Alpha() const { return m_alpha; }

 private:
  void Run();

  const LLoader_Image_JNG::JngHeader& m_header;
  const LJngStreams& m_streams;
  const kor::UString m_streamName;
  int m_width;
  int m_height;
  LData_Image m_alpha;
  kor::UMessageHold m_messages;
  std::atomic<bool> m_ready;
  bool m_decoded;
  std::exception_ptr m_error;
  std::thread m_thread;
};

}  // namespace lum
