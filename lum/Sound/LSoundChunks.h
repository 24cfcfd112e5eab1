// What the RIFF WAVE and AIFF loaders share: the 12-byte file header, the
// walk over tagged chunks, the sample layout and the sample bytes. The two
// formats differ in the byte order of their numbers.
#pragma once

#include <cstdint>

#include "kor/CoreServices/Interfaces/IInputStream.h"

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
// of other tags, and leaves the stream at the start of the chunk's body.
// False when the stream ends first or a chunk claims more bytes than the
// stream has left.
bool FindSoundChunk(kor::IInputStream& stream, const char* tag, SoundByteOrder order, uint32_t& size);

// Skips size bytes; false when the stream has fewer left.
bool SkipSoundBytes(kor::IInputStream& stream, uint64_t size);

// The record's layout code for channels of bits each; a layout with
// several channels gives its notice on the stream's name.
int32_t ChooseSoundFormat(kor::IInputStream& stream, uint32_t channels, uint32_t bits);

// The frames that size bytes hold; channels and bits must not be zero.
uint32_t CountSoundFrames(uint32_t size, uint32_t channels, uint32_t bits);

// A new array of size bytes filled from the stream, or null when the
// stream ends first.
unsigned char* ReadSoundSamples(kor::IInputStream& stream, uint32_t size);

// Adds 129 modulo 256 to every byte: how both formats store 8-bit samples
// in the record.
void ShiftEightBitSamples(unsigned char* samples, uint32_t size);

}  // namespace lum
