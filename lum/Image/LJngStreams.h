// The colour and alpha streams of a JNG file, gathered from its chunks. A
// stream that lies in one chunk is used where it lies in the file's bytes;
// a stream spread over several chunks is copied, into an array of exactly
// its size, or gathered in the file's own bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kor/Utils/UArray.h"

namespace lum {

// The chunk framing: big-endian numbers, and types as four letters read as
// one such number.
inline uint32_t JngBigEndian32(const unsigned char* bytes) {
  return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
         (static_cast<uint32_t>(bytes[2]) << 8) | static_cast<uint32_t>(bytes[3]);
}

constexpr uint32_t JngChunkType(const char (&name)[5]) {
  return (static_cast<uint32_t>(static_cast<unsigned char>(name[0])) << 24) |
         (static_cast<uint32_t>(static_cast<unsigned char>(name[1])) << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(name[2])) << 8) |
         static_cast<uint32_t>(static_cast<unsigned char>(name[3]));
}

class LJngStreams {
 public:
  enum AlphaUse {
    ALPHA_UNUSED,    // not gathered
    ALPHA_IN_PLACE,  // like the colour stream
    ALPHA_AS_ARRAY   // always an array of its own bytes, AlphaArray()
  };

  LJngStreams() {}
  LJngStreams(const LJngStreams&) = delete;
  LJngStreams& operator=(const LJngStreams&) = delete;

  // Walks the chunks of file (the bytes after JHDR) up to JSEP or IEND:
  // JDAT data makes the colour stream, IDAT and JDAA data the alpha stream.
  // False when a chunk reaches past the end or the data ends before JSEP or
  // IEND. Chunk CRCs are not checked. The streams may point into file,
  // which must outlive them; an alpha array larger than the colour stream
  // is gathered at the start of file, which then holds only its bytes.
  bool Gather(kor::UArray<unsigned char>& file, AlphaUse alphaUse);

  const unsigned char* colour = nullptr;
  size_t colourSize = 0;
  const unsigned char* alpha = nullptr;
  size_t alphaSize = 0;
  // The alpha stream as an array (empty unless gathered as one).
  const kor::UArray<unsigned char>& AlphaArray() const { return *m_alphaArray; }

 private:
  kor::UArray<unsigned char> m_colourCopy;
  kor::UArray<unsigned char> m_alphaCopy;
  const kor::UArray<unsigned char>* m_alphaArray = &m_alphaCopy;
};

}  // namespace lum
