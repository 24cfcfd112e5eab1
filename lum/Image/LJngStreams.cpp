#include "lum/Image/LJngStreams.h"

#include <cstring>

namespace lum {

namespace {

enum { CHUNK_FRAME_SIZE = 12 };

enum StreamKind { NO_STREAM, COLOUR_STREAM, ALPHA_STREAM };

StreamKind KindOf(uint32_t type) {
  if (type == JngChunkType("JDAT")) return COLOUR_STREAM;
  if (type == JngChunkType("IDAT") || type == JngChunkType("JDAA")) return ALPHA_STREAM;
  return NO_STREAM;
}

bool EndsWalk(uint32_t type) { return type == JngChunkType("JSEP") || type == JngChunkType("IEND"); }

// Calls take(kind, data, length) for each stream chunk up to JSEP or IEND.
// False when a chunk reaches past the end or no JSEP or IEND comes.
template <class TAKE>
bool WalkChunks(const kor::UArray<unsigned char>& file, TAKE take) {
  uint64_t size = static_cast<uint64_t>(file.GetNum());
  uint64_t position = 0;
  for (;;) {
    if (size - position < CHUNK_FRAME_SIZE) return false;
    const unsigned char* chunk = file.GetData() + position;
    uint32_t length = JngBigEndian32(chunk);
    uint32_t type = JngBigEndian32(chunk + 4);
    // 64-bit sums: no length can wrap the position around.
    uint64_t next = position + CHUNK_FRAME_SIZE + length;
    if (next > size) return false;
    if (EndsWalk(type)) return true;
    StreamKind kind = KindOf(type);
    if (kind != NO_STREAM) take(kind, chunk + 8, length);
    position = next;
  }
}

// Where one stream's chunks are, as the first walk finds them.
struct StreamExtent {
  const unsigned char* first = nullptr;
  uint64_t size = 0;
  int chunks = 0;
  void Take(const unsigned char* data, uint32_t length) {
    if (length == 0) return;
    if (chunks++ == 0) first = data;
    size += length;
  }
};

// The stream's bytes in an array of exactly their size.
void Copy(const kor::UArray<unsigned char>& file, StreamKind wanted, uint64_t size, kor::UArray<unsigned char>& copy) {
  copy.EmptyExact(static_cast<int>(size));
  WalkChunks(file, [&](StreamKind kind, const unsigned char* data, uint32_t length) {
    if (kind != wanted || length == 0) return;
    int start = copy.Grow(static_cast<int>(length));
    std::memcpy(copy.GetData() + start, data, length);
  });
}

// The stream's bytes at the start of file, which afterwards holds only
// them. Each chunk's data moves towards the start, past the frames before
// it: no byte moves onto a chunk the walk has yet to read.
void GatherIntoFile(kor::UArray<unsigned char>& file, StreamKind wanted, uint64_t size) {
  int gathered = 0;
  WalkChunks(file, [&](StreamKind kind, const unsigned char* data, uint32_t length) {
    if (kind != wanted || length == 0) return;
    std::memmove(file.GetData() + gathered, data, length);
    gathered += static_cast<int>(length);
  });
  file.Erase(static_cast<int>(size), file.GetNum() - static_cast<int>(size));
}

}  // namespace

bool LJngStreams::Gather(kor::UArray<unsigned char>& file, AlphaUse alphaUse) {
  StreamExtent colourExtent, alphaExtent;
  bool whole = WalkChunks(file, [&](StreamKind kind, const unsigned char* data, uint32_t length) {
    (kind == COLOUR_STREAM ? colourExtent : alphaExtent).Take(data, length);
  });
  if (!whole) return false;
  // An alpha that must be an array is gathered into the file's own bytes
  // when the colour stream is the smaller one to copy out of the way.
  bool alphaIntoFile = alphaUse == ALPHA_AS_ARRAY && alphaExtent.size > colourExtent.size;
  // Both streams lie inside the file, whose size fits an array.
  colourSize = static_cast<size_t>(colourExtent.size);
  if (colourExtent.chunks > 1 || alphaIntoFile) {
    Copy(file, COLOUR_STREAM, colourExtent.size, m_colourCopy);
    colour = m_colourCopy.GetData();
  } else {
    colour = colourExtent.first;
  }
  if (alphaUse == ALPHA_UNUSED) return true;
  alphaSize = static_cast<size_t>(alphaExtent.size);
  if (alphaIntoFile) {
    GatherIntoFile(file, ALPHA_STREAM, alphaExtent.size);
    m_alphaArray = &file;
  } else if (alphaUse == ALPHA_AS_ARRAY || alphaExtent.chunks > 1) {
    Copy(file, ALPHA_STREAM, alphaExtent.size, m_alphaCopy);
  } else {
    alpha = alphaExtent.first;
    return true;
  }
  alpha = m_alphaArray->GetData();
  return true;
}

}  // namespace lum
