// RIFF WAVE sounds in the PCM format, at any depth of whole bytes. 8-bit
// samples are stored unsigned in the file; 16-bit and deeper ones keep the
// file's little-endian order. It cannot write.
#pragma once

#include "lum/LLoader.h"

namespace lum {

class LLoader_Sound_WAV : public LLoader_Sound {
 public:
  // Format, frequency and frame count from the format and data chunks.
  bool ReadInfo(kor::IInputStream& stream, LData_Sound& data, const void* options) override;
  // Also the data chunk's bytes, 8-bit ones raised by 129 modulo 256.
  bool Read(kor::IInputStream& stream, LData_Sound& data, const void* options) override;
  bool Write(kor::IOutputStream& stream, LData_Sound& data, const void* options) override;
  // "RIFF", a non-zero size and "WAVE"; the stream is left where it was.
  bool CanRead(kor::IInputStream& stream) override;
  bool CanWrite(int value) override;
};

}  // namespace lum
