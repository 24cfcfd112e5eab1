// AIFF sounds without block alignment, at any depth of whole bytes. 8-bit
// samples are stored signed in the file; 16-bit and deeper ones are turned
// from the file's big-endian order into little-endian. It cannot write.
#pragma once

#include "lum/LLoader.h"

namespace lum {

class LLoader_Sound_AIFF : public LLoader_Sound {
 public:
  // Format, frequency and frame count from the COMM and SSND chunks.
  bool ReadInfo(kor::IInputStream& stream, LData_Sound& data, const void* options) override;
  // Also the sound data after the SSND header; its offset field is not
  // applied.
  bool Read(kor::IInputStream& stream, LData_Sound& data, const void* options) override;
  bool Write(kor::IOutputStream& stream, LData_Sound& data, const void* options) override;
  // "FORM", a non-zero size and "AIFF"; the stream is left where it was.
  bool CanRead(kor::IInputStream& stream) override;
  bool CanWrite(int value) override;
};

}  // namespace lum
