// Whole RIFF WAVE sound files read from memory.
#include "SoundFuzzTarget.h"
#include "lum/Sound/LLoader_Sound_WAV.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lum::LLoader_Sound_WAV loader;
  return ReadSoundForFuzzing(loader, data, size);
}
