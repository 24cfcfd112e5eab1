#include "lum/Sound/LLoader_Sound_WAV.h"

#include "kor/ErrorDescription.h"
#include "lum/Sound/LData_Sound.h"
#include "lum/Sound/LSoundChunks.h"
#include "lum/Sound/LSoundMessage.h"

namespace lum {

namespace {

const uint32_t FORMAT_FIELDS_SIZE = 16;
const uint32_t FORMAT_TAG_PCM = 1;

void Refuse(kor::IInputStream& stream, const char* end) {
  ReportAboutSound("Can't handle file \"", stream.GetName(), end);
}

const char CORRUPT[] = "\". Some data is missing or corrupt.";

void RefuseCorrupt(kor::IInputStream& stream) { Refuse(stream, CORRUPT); }

// Leaves the stream at the start of the data chunk.
bool ReadLayout(kor::IInputStream& stream, LSoundLayout& layout) {
  if (!ReadSoundFileHeader(stream, "RIFF", "WAVE", SOUND_LITTLE_ENDIAN)) {
    Refuse(stream, "\". It isn't a wav file.");
    return false;
  }
  uint32_t formatSize = 0;
  unsigned char fields[FORMAT_FIELDS_SIZE];
  if (!FindSoundChunk(stream, "fmt ", SOUND_LITTLE_ENDIAN, formatSize) || formatSize < FORMAT_FIELDS_SIZE ||
      stream.Serialize(fields, FORMAT_FIELDS_SIZE) != FORMAT_FIELDS_SIZE) {
    RefuseCorrupt(stream);
    return false;
  }
  if (SoundNumber16(fields, SOUND_LITTLE_ENDIAN) != FORMAT_TAG_PCM) {
    Refuse(stream,
           "\". There is no support for wav files which aren't in the \"MS Pulse Code Modulation (PCM)\" "
           "format. Please send in the file to get the support.");
    return false;
  }
  layout.channels = SoundNumber16(fields + 2, SOUND_LITTLE_ENDIAN);
  layout.frequency = static_cast<int32_t>(SoundNumber32(fields + 4, SOUND_LITTLE_ENDIAN));
  layout.bits = SoundNumber16(fields + 14, SOUND_LITTLE_ENDIAN);
  // A longer format chunk carries extra fields; the walk goes on after them.
  if (!SkipSoundChunkRest(stream, formatSize, FORMAT_FIELDS_SIZE) ||
      !FindSoundChunk(stream, "data", SOUND_LITTLE_ENDIAN, layout.dataSize)) {
    RefuseCorrupt(stream);
    return false;
  }
  return CheckSoundLayout(stream, layout, CORRUPT);
}

bool ReadDescription(kor::IInputStream& stream, LData_Sound& data, LSoundLayout& layout) {
  if (!ReadLayout(stream, layout)) return false;
  DescribeSound(stream, layout, data);
  return true;
}

}  // namespace

bool LLoader_Sound_WAV::ReadInfo(kor::IInputStream& stream, LData_Sound& data, const void*) {
  KOR_GUARD_BEGIN
  LSoundLayout layout;
  return ReadDescription(stream, data, layout);
  KOR_GUARD_END
}

bool LLoader_Sound_WAV::Read(kor::IInputStream& stream, LData_Sound& data, const void*) {
  KOR_GUARD_BEGIN
  LSoundLayout layout;
  if (!ReadDescription(stream, data, layout)) return false;
  unsigned char* samples = ReadSoundSamples(stream, layout);
  if (samples == nullptr) {
    RefuseCorrupt(stream);
    return false;
  }
  data.SetSamples(samples, layout.dataSize);
  return true;
  KOR_GUARD_END
}

bool LLoader_Sound_WAV::Write(kor::IOutputStream&, LData_Sound&, const void*) { return false; }

bool LLoader_Sound_WAV::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  return ProbeSoundFileHeader(stream, "RIFF", "WAVE", SOUND_LITTLE_ENDIAN);
  KOR_GUARD_END
}

bool LLoader_Sound_WAV::CanWrite(int) { return false; }

}  // namespace lum
