// The loaded-sound record that every sound loader fills: the sample
// layout, the rate, the number of frames and the owned sample bytes.
#pragma once

#include <cstdint>

#include "lum/LData.h"

namespace lum {

// Sample layouts. Several channels are interleaved, at their stored depth.
enum SoundFormat {
  SOUND_FORMAT_MONO8 = 0,
  SOUND_FORMAT_MONO16 = 1,
  SOUND_FORMAT_MONO_OTHER = 2,  // any other depth that is whole bytes
  SOUND_FORMAT_MULTI_CHANNEL = 3
};

class LData_Sound : public LData {
 public:
  LData_Sound();
  ~LData_Sound() noexcept(false) override;

  // Takes ownership of an array of byteNum bytes made with new[], freeing
  // the previous one.
  void SetSamples(unsigned char* newSamples, uint32_t byteNum);

  int32_t format;
  int32_t frequency;  // samples per second per channel
  uint32_t frameCount;
  unsigned char* samples;
  uint32_t sampleByteNum;  // the length of samples, which need not be whole frames
};

}  // namespace lum
