#include "lum/Sound/LLoader_Sound_OGG.h"

#include <cstring>

#include "kor/ErrorDescription.h"
#include "lum/Sound/LData_Sound.h"
#include "lum/Sound/LOggVorbisStream.h"
#include "lum/Sound/LSoundMessage.h"

namespace lum {

namespace {

// The one buffer of a decode; no sound is larger than the containers hold.
const uint64_t LARGEST_SAMPLE_BUFFER = 0x7FFFFFC0;

int32_t FormatOf(int channels) { return channels == 1 ? SOUND_FORMAT_MONO16 : SOUND_FORMAT_MULTI_CHANNEL; }

}  // namespace

bool LLoader_Sound_OGG::ReadInfo(kor::IInputStream& stream, LData_Sound& data, const void*) {
  KOR_GUARD_BEGIN
  LOggVorbisStream vorbis(stream);
  uint32_t frameCount = 0;
  if (!vorbis.ReadHeaders() || !vorbis.ScanFrames(frameCount)) return false;
  data.format = FormatOf(vorbis.Channels());
  data.frequency = static_cast<int32_t>(vorbis.Rate());
  data.frameCount = frameCount;
  return true;
  KOR_GUARD_END
}

bool LLoader_Sound_OGG::Read(kor::IInputStream& stream, LData_Sound& data, const void* options) {
  KOR_GUARD_BEGIN
  uint64_t start = stream.GetPosition();
  if (!ReadInfo(stream, data, options)) return false;
  stream.SeekBackward(static_cast<int64_t>(stream.GetPosition() - start));
  LOggVorbisStream vorbis(stream);
  if (!vorbis.ReadHeaders()) return false;
  uint64_t byteNum = uint64_t(data.frameCount) * uint64_t(vorbis.Channels()) * 2;
  if (byteNum > LARGEST_SAMPLE_BUFFER) {
    ReportAboutSound("Can't handle stream \"", stream.GetName(), "\". It is corrupt.");
    return false;
  }
  unsigned char* samples = new unsigned char[byteNum == 0 ? 1 : byteNum];
  std::memset(samples, 0, byteNum);
  data.SetSamples(samples, static_cast<uint32_t>(byteNum));
  vorbis.Decode(samples, data.frameCount);
  return true;
  KOR_GUARD_END
}

bool LLoader_Sound_OGG::Write(kor::IOutputStream&, LData_Sound&, const void*) { return false; }

bool LLoader_Sound_OGG::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  unsigned char bytes[4];
  uint64_t got = stream.Serialize(bytes, sizeof bytes);
  stream.SeekBackward(static_cast<int64_t>(got));
  return got == sizeof bytes && std::memcmp(bytes, "OggS", 4) == 0;
  KOR_GUARD_END
}

bool LLoader_Sound_OGG::CanWrite(int) { return false; }

}  // namespace lum
