// One sound file read from memory by one loader: the loader must stay
// inside its buffers, answer with true or false only, and hand back
// samples whenever it says true.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/ErrorDescription.h"
#include "lum/LLoader.h"
#include "lum/Sound/LData_Sound.h"

// Where the sum of the samples goes, so that reading them is not optimised away.
inline volatile unsigned& SoundFuzzSink() {
  static volatile unsigned sink = 0;
  return sink;
}

inline int ReadSoundForFuzzing(lum::LLoader_Sound& loader, const uint8_t* data, size_t size) {
  kor::UStream_Memory stream(data, size);
  lum::LData_Sound sound;
  try {
    if (loader.Read(stream, sound, nullptr)) {
      if (sound.samples == nullptr) std::abort();
      // Touching every byte lets the sanitizers see a buffer that is short.
      unsigned sum = 0;
      for (uint32_t i = 0; i < sound.sampleByteNum; ++i) sum += sound.samples[i];
      SoundFuzzSink() = sum;
    }
  } catch (const kor::ErrorDescription&) {
    std::abort();  // nothing in reading a sound raises
  }
  return 0;
}
