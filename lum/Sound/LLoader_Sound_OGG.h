// Ogg Vorbis sounds, decoded to 16-bit samples: one channel or several
// interleaved, little-endian. It cannot write.
#pragma once

#include "lum/LLoader.h"

namespace lum {

class LLoader_Sound_OGG : public LLoader_Sound {
 public:
  // Format and frequency from the headers; the frame count from the last
  // granule position, which takes a read of the whole stream.
  bool ReadInfo(kor::IInputStream& stream, LData_Sound& data, const void* options) override;
  // Also the decoded samples. Samples beyond full scale are clamped, with
  // a notice for each batch that held one.
  bool Read(kor::IInputStream& stream, LData_Sound& data, const void* options) override;
  bool Write(kor::IOutputStream& stream, LData_Sound& data, const void* options) override;
  // "OggS"; the stream is left where it was.
  bool CanRead(kor::IInputStream& stream) override;
  bool CanWrite(int value) override;
};

}  // namespace lum
