#include "lum/Sound/LLoader_Sound_AIFF.h"

#include "kor/ErrorDescription.h"
#include "lum/Sound/LAiffRate.h"
#include "lum/Sound/LData_Sound.h"
#include "lum/Sound/LSoundChunks.h"
#include "lum/Sound/LSoundMessage.h"

namespace lum {

namespace {

const uint32_t COMMON_FIELDS_SIZE = 18;
const uint32_t SOUND_HEADER_SIZE = 8;

struct AiffLayout {
  uint32_t channels;
  uint32_t bits;
  int32_t rate;
  uint32_t blockSize;
  uint32_t dataSize;  // the sound bytes after the SSND header
};

void Refuse(kor::IInputStream& stream, const char* end) {
  ReportAboutSound("Can't handle file \"", stream.GetName(), end);
}

void RefuseCorrupt(kor::IInputStream& stream) { Refuse(stream, "\". Some data is corrupt or missing."); }

bool ReadCommonChunk(kor::IInputStream& stream, AiffLayout& layout) {
  uint32_t size = 0;
  unsigned char fields[COMMON_FIELDS_SIZE];
  if (!FindSoundChunk(stream, "COMM", SOUND_BIG_ENDIAN, size) || size < COMMON_FIELDS_SIZE ||
      stream.Serialize(fields, COMMON_FIELDS_SIZE) != COMMON_FIELDS_SIZE)
    return false;
  layout.channels = SoundNumber16(fields, SOUND_BIG_ENDIAN);
  layout.bits = SoundNumber16(fields + 6, SOUND_BIG_ENDIAN);
  // The walk for SSND goes on after whatever else the chunk holds.
  return DecodeAiffRate(fields + 8, layout.rate) && SkipSoundBytes(stream, size - COMMON_FIELDS_SIZE);
}

bool ReadSoundHeader(kor::IInputStream& stream, AiffLayout& layout) {
  uint32_t size = 0;
  unsigned char fields[SOUND_HEADER_SIZE];
  if (!FindSoundChunk(stream, "SSND", SOUND_BIG_ENDIAN, size) || size < SOUND_HEADER_SIZE ||
      stream.Serialize(fields, SOUND_HEADER_SIZE) != SOUND_HEADER_SIZE)
    return false;
  layout.blockSize = SoundNumber32(fields + 4, SOUND_BIG_ENDIAN);
  layout.dataSize = size - SOUND_HEADER_SIZE;
  return true;
}

// Leaves the stream at the start of the sound bytes.
bool ReadLayout(kor::IInputStream& stream, AiffLayout& layout, const char* notAiff) {
  if (!ReadSoundFileHeader(stream, "FORM", "AIFF", SOUND_BIG_ENDIAN)) {
    Refuse(stream, notAiff);
    return false;
  }
  if (!ReadCommonChunk(stream, layout) || !ReadSoundHeader(stream, layout)) {
    RefuseCorrupt(stream);
    return false;
  }
  if (layout.bits % 8 != 0) {
    Refuse(stream, "\". Sample point depths which aren't a multiple of 8 are not supported.");
    return false;
  }
  // No channels or no bits would leave the frame count undefined.
  if (layout.channels == 0 || layout.bits == 0) {
    RefuseCorrupt(stream);
    return false;
  }
  return true;
}

bool ReadDescription(kor::IInputStream& stream, LData_Sound& data, AiffLayout& layout, const char* notAiff) {
  if (!ReadLayout(stream, layout, notAiff)) return false;
  data.format = ChooseSoundFormat(stream, layout.channels, layout.bits);
  data.frequency = layout.rate;
  data.frameCount = CountSoundFrames(layout.dataSize, layout.channels, layout.bits);
  return true;
}

// Each sample's bytes mirrored: big-endian to little-endian at any depth.
void ReverseSampleBytes(unsigned char* samples, uint32_t size, uint32_t sampleBytes) {
  for (uint32_t start = 0; size - start >= sampleBytes; start += sampleBytes) {
    unsigned char* sample = samples + start;
    for (uint32_t low = 0, high = sampleBytes - 1; low < high; ++low, --high) {
      unsigned char kept = sample[low];
      sample[low] = sample[high];
      sample[high] = kept;
    }
  }
}

}  // namespace

bool LLoader_Sound_AIFF::ReadInfo(kor::IInputStream& stream, LData_Sound& data, const void*) {
  KOR_GUARD_BEGIN
  AiffLayout layout;
  return ReadDescription(stream, data, layout, "\". Perhaps it is an unsupported aiff file or just a corrupt one.");
  KOR_GUARD_END
}

bool LLoader_Sound_AIFF::Read(kor::IInputStream& stream, LData_Sound& data, const void*) {
  KOR_GUARD_BEGIN
  AiffLayout layout;
  if (!ReadDescription(stream, data, layout, "\". It isn't an aiff file.")) return false;
  if (layout.blockSize != 0) {
    // Worded about the file, as the notices are, although it refuses it.
    ReportAboutSound("The file \"", stream.GetName(),
                     "\" uses the unsupported aiff \"block-alignment\" mode. Please send in the file to get "
                     "the support.");
    return false;
  }
  unsigned char* samples = ReadSoundSamples(stream, layout.dataSize);
  if (samples == nullptr) {
    RefuseCorrupt(stream);
    return false;
  }
  if (layout.bits == 8) ShiftEightBitSamples(samples, layout.dataSize);
  else ReverseSampleBytes(samples, layout.dataSize, layout.bits / 8);
  data.SetSamples(samples, layout.dataSize);
  return true;
  KOR_GUARD_END
}

bool LLoader_Sound_AIFF::Write(kor::IOutputStream&, LData_Sound&, const void*) { return false; }

bool LLoader_Sound_AIFF::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  return ProbeSoundFileHeader(stream, "FORM", "AIFF", SOUND_BIG_ENDIAN);
  KOR_GUARD_END
}

bool LLoader_Sound_AIFF::CanWrite(int) { return false; }

}  // namespace lum
