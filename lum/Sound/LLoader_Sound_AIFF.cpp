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

// The sound bytes are those after the SSND header.
struct AiffLayout {
  LSoundLayout samples;
  uint32_t blockSize;
};

void Refuse(kor::IInputStream& stream, const char* end) {
  ReportAboutSound("Can't handle file \"", stream.GetName(), end);
}

const char CORRUPT[] = "\". Some data is corrupt or missing.";

void RefuseCorrupt(kor::IInputStream& stream) { Refuse(stream, CORRUPT); }

bool ReadCommonChunk(kor::IInputStream& stream, AiffLayout& layout) {
  uint32_t size = 0;
  unsigned char fields[COMMON_FIELDS_SIZE];
  if (!FindSoundChunk(stream, "COMM", SOUND_BIG_ENDIAN, size) || size < COMMON_FIELDS_SIZE ||
      stream.Serialize(fields, COMMON_FIELDS_SIZE) != COMMON_FIELDS_SIZE)
    return false;
  layout.samples.channels = SoundNumber16(fields, SOUND_BIG_ENDIAN);
  layout.samples.bits = SoundNumber16(fields + 6, SOUND_BIG_ENDIAN);
  // The walk for SSND goes on after whatever else the chunk holds.
  return DecodeAiffRate(fields + 8, layout.samples.frequency) && SkipSoundChunkRest(stream, size, COMMON_FIELDS_SIZE);
}

bool ReadSoundHeader(kor::IInputStream& stream, AiffLayout& layout) {
  uint32_t size = 0;
  unsigned char fields[SOUND_HEADER_SIZE];
  if (!FindSoundChunk(stream, "SSND", SOUND_BIG_ENDIAN, size) || size < SOUND_HEADER_SIZE ||
      stream.Serialize(fields, SOUND_HEADER_SIZE) != SOUND_HEADER_SIZE)
    return false;
  layout.blockSize = SoundNumber32(fields + 4, SOUND_BIG_ENDIAN);
  layout.samples.dataSize = size - SOUND_HEADER_SIZE;
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
  return CheckSoundLayout(stream, layout.samples, CORRUPT);
}

bool ReadDescription(kor::IInputStream& stream, LData_Sound& data, AiffLayout& layout, const char* notAiff) {
  if (!ReadLayout(stream, layout, notAiff)) return false;
  DescribeSound(stream, layout.samples, data);
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
  const LSoundLayout& sound = layout.samples;
  unsigned char* samples = ReadSoundSamples(stream, sound);
  if (samples == nullptr) {
    RefuseCorrupt(stream);
    return false;
  }
  if (sound.bits > 8) ReverseSampleBytes(samples, sound.dataSize, sound.bits / 8);
  data.SetSamples(samples, sound.dataSize);
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
