#include "lum/Sound/LSoundChunks.h"

#include <cstring>

#include "kor/ErrorDescription.h"
#include "lum/Sound/LData_Sound.h"
#include "lum/Sound/LSoundMessage.h"

namespace lum {

namespace {

const uint32_t HEADER_SIZE = 12;
const uint32_t CHUNK_HEADER_SIZE = 8;
// One transfer of a stream stays below 2^31 bytes.
const uint64_t LARGEST_TRANSFER = 0x40000000;

uint64_t BytesLeft(kor::IInputStream& stream) {
  uint64_t size = stream.GetSize();
  uint64_t position = stream.GetPosition();
  return size > position ? size - position : 0;
}

bool ReadBytes(kor::IInputStream& stream, unsigned char* bytes, uint64_t size) {
  while (size > 0) {
    uint64_t part = size < LARGEST_TRANSFER ? size : LARGEST_TRANSFER;
    if (stream.Serialize(bytes, part) != part) return false;
    bytes += part;
    size -= part;
  }
  return true;
}

bool IsSoundFileHeader(const unsigned char* bytes, const char* formTag, const char* typeTag,
                       SoundByteOrder order) {
  return std::memcmp(bytes, formTag, 4) == 0 && SoundNumber32(bytes + 4, order) != 0 &&
         std::memcmp(bytes + 8, typeTag, 4) == 0;
}

}  // namespace

uint32_t SoundNumber16(const unsigned char* bytes, SoundByteOrder order) {
  if (order == SOUND_BIG_ENDIAN) return (uint32_t(bytes[0]) << 8) | bytes[1];
  return (uint32_t(bytes[1]) << 8) | bytes[0];
}

uint32_t SoundNumber32(const unsigned char* bytes, SoundByteOrder order) {
  if (order == SOUND_BIG_ENDIAN) return (SoundNumber16(bytes, order) << 16) | SoundNumber16(bytes + 2, order);
  return (SoundNumber16(bytes + 2, order) << 16) | SoundNumber16(bytes, order);
}

bool ReadSoundFileHeader(kor::IInputStream& stream, const char* formTag, const char* typeTag,
                         SoundByteOrder order) {
  unsigned char bytes[HEADER_SIZE];
  return ReadBytes(stream, bytes, HEADER_SIZE) && IsSoundFileHeader(bytes, formTag, typeTag, order);
}

bool ProbeSoundFileHeader(kor::IInputStream& stream, const char* formTag, const char* typeTag,
                          SoundByteOrder order) {
  KOR_GUARD_BEGIN
  unsigned char bytes[HEADER_SIZE];
  uint64_t got = stream.Serialize(bytes, HEADER_SIZE);
  stream.SeekBackward(static_cast<int64_t>(got));
  return got == HEADER_SIZE && IsSoundFileHeader(bytes, formTag, typeTag, order);
  KOR_GUARD_END
}

bool SkipSoundBytes(kor::IInputStream& stream, uint64_t size) {
  if (size > BytesLeft(stream)) return false;
  // Seeks take signed distances; a chunk size always fits.
  stream.SeekForward(static_cast<int64_t>(size));
  return true;
}

// A chunk of odd size is followed by a pad byte, which its size leaves
// out. The last chunk of a file may lack it.
bool SkipSoundChunkRest(kor::IInputStream& stream, uint32_t size, uint32_t consumed) {
  if (consumed > size || !SkipSoundBytes(stream, size - consumed)) return false;
  if (size % 2 != 0 && BytesLeft(stream) > 0) stream.SeekForward(1);
  return true;
}

bool FindSoundChunk(kor::IInputStream& stream, const char* tag, SoundByteOrder order, uint32_t& size) {
  KOR_GUARD_BEGIN
  for (;;) {
    unsigned char header[CHUNK_HEADER_SIZE];
    if (!ReadBytes(stream, header, CHUNK_HEADER_SIZE)) return false;
    size = SoundNumber32(header + 4, order);
    // Refused here, before any caller sizes a buffer by it.
    if (size > BytesLeft(stream)) return false;
    if (std::memcmp(header, tag, 4) == 0) return true;
    SkipSoundChunkRest(stream, size, 0);
  }
  KOR_GUARD_END
}

bool CheckSoundLayout(kor::IInputStream& stream, const LSoundLayout& layout, const char* corruptSuffix) {
  KOR_GUARD_BEGIN
  if (layout.bits % 8 != 0) {
    ReportAboutSound("Can't handle file \"", stream.GetName(),
                     "\". Sample point depths which aren't a multiple of 8 are not supported.");
    return false;
  }
  if (layout.channels == 0 || layout.bits == 0) {
    ReportAboutSound("Can't handle file \"", stream.GetName(), corruptSuffix);
    return false;
  }
  return true;
  KOR_GUARD_END
}

void DescribeSound(kor::IInputStream& stream, const LSoundLayout& layout, LData_Sound& data) {
  KOR_GUARD_BEGIN
  assure(layout.channels != 0 && layout.bits >= 8);
  if (layout.channels > 1) {
    NoticeSeveralChannels(stream.GetName());
    data.format = SOUND_FORMAT_MULTI_CHANNEL;
  } else {
    data.format = layout.bits == 8 ? SOUND_FORMAT_MONO8 : layout.bits == 16 ? SOUND_FORMAT_MONO16 : SOUND_FORMAT_MONO_OTHER;
  }
  data.frequency = layout.frequency;
  data.frameCount = layout.dataSize / layout.channels / (layout.bits / 8);
  KOR_GUARD_END
}

unsigned char* ReadSoundSamples(kor::IInputStream& stream, const LSoundLayout& layout) {
  KOR_GUARD_BEGIN
  const uint32_t size = layout.dataSize;
  if (size > BytesLeft(stream)) return nullptr;
  unsigned char* samples = new unsigned char[size == 0 ? 1 : size];
  if (!ReadBytes(stream, samples, size)) {
    delete[] samples;
    return nullptr;
  }
  if (layout.bits == 8)
    for (uint32_t i = 0; i < size; ++i) samples[i] = static_cast<unsigned char>(samples[i] + 129);
  return samples;
  KOR_GUARD_END
}

}  // namespace lum
