#include "lum/Sound/LData_Sound.h"

namespace lum {

LData_Sound::LData_Sound()
    : format(SOUND_FORMAT_MONO8), frequency(0), frameCount(0), samples(nullptr), sampleByteNum(0) {}

LData_Sound::~LData_Sound() noexcept(false) { delete[] samples; }

void LData_Sound::SetSamples(unsigned char* newSamples, uint32_t byteNum) {
  if (newSamples != samples) {
    delete[] samples;
    samples = newSamples;
  }
  sampleByteNum = newSamples ? byteNum : 0;
}

}  // namespace lum
