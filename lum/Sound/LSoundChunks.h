// What the RIFF WAVE and AIFF loaders share: the 12-byte file header, the
// walk over tagged chunks, the sample layout and the sample bytes. The two
// formats differ in the byte order of their numbers.
#pragma once

#include <cstdint>

#include "kor/CoreServices/Interfaces/IInputStream.h"
#include "lum/Sound/LData_Sound.h"

namespace lum {

enum SoundByteOrder { SOUND_LITTLE_ENDIAN, SOUND_BIG_ENDIAN };

uint32_t SoundNumber16(const unsigned char* bytes, SoundByteOrder order);
uint32_t SoundNumber32(const unsigned char* bytes, SoundByteOrder order);

// The first 12 bytes are formTag, a non-zero size and typeTag. Reads them
// and leaves the stream after them.
bool ReadSoundFileHeader(kor::IInputStream& stream, const char* formTag, const char* typeTag,
                         SoundByteOrder order);

// The same test, stepping the stream back by what it read.
bool ProbeSoundFileHeader(kor::IInputStream& stream, const char* formTag, const char* typeTag,
                          SoundByteOrder order);

// Walks the chunk headers from the stream position, skipping the chunks
// of other tags (with the pad byte after an odd size), and leaves the stream at the start of the chunk's body.
// False when the stream ends first or a chunk claims more bytes than the
// stream has left.
bool FindSoundChunk(kor::IInputStream& stream, const char* tag, SoundByteOrder order, uint32_t& size);

// Skips what is left of a chunk of size bytes after consumed of them, and
// the pad byte that follows a chunk of odd size; false when the stream
// has fewer bytes left than the chunk claims.
bool SkipSoundChunkRest(kor::IInputStream& stream, uint32_t size, uint32_t consumed);

// Skips size bytes; false when the stream has fewer left.
bool SkipSoundBytes(kor::IInputStream& stream, uint64_t size);

// The samples of a file as its chunks describe them.
struct LSoundLayout {
  uint32_t channels;
  uint32_t bits;
  int32_t frequency;
  uint32_t dataSize;  // bytes of samples
};

// Refuses what the record cannot hold: depths that are not whole bytes
// with their own message, no channels or no bits (the frame count would
// divide by zero) with the format's corrupt-data suffix.
bool CheckSoundLayout(kor::IInputStream& stream, const LSoundLayout& layout, const char* corruptSuffix);

// Format, frequency and frame count of a checked layout into the record; a
// layout with several channels gives its notice on the stream's name.
void DescribeSound(kor::IInputStream& stream, const LSoundLayout& layout, LData_Sound& data);

// A new array of the layout's sample bytes filled from the stream, 8-bit
// samples raised by 129 modulo 256 as both formats store them in the
// record; null when the stream ends first.
unsigned char* ReadSoundSamples(kor::IInputStream& stream, const LSoundLayout& layout);

}  // namespace lum
