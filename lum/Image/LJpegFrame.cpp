#include "lum/Image/LJpegFrame.h"

namespace lum {

namespace {

enum {
  MARKER_SOI = 0xD8,
  MARKER_EOI = 0xD9,
  MARKER_SOS = 0xDA,
  MARKER_TEM = 0x01,
  MARKER_RST0 = 0xD0,
  MARKER_RST7 = 0xD7,
  MARKER_SOF0 = 0xC0,
  MARKER_SOF15 = 0xCF,
  MARKER_DHT = 0xC4,
  MARKER_JPG = 0xC8,
  MARKER_DAC = 0xCC,
  MARKER_SOF2 = 0xC2,
  MARKER_DQT = 0xDB,
  MARKER_DRI = 0xDD,
  MARKER_APP0 = 0xE0,
  MARKER_APP14 = 0xEE,
  MARKER_APP15 = 0xEF,
  MARKER_COM = 0xFE,
  MAX_SAMPLING = 4,
  // The library's limits: its table slots, its largest side.
  TABLE_SLOTS = 4,
  LARGEST_SIDE = 65500,
  TABLE_ENTRIES = 64,
  HUFFMAN_SYMBOLS = 256
};

unsigned BigEndian16(const unsigned char* bytes) { return static_cast<unsigned>(bytes[0] << 8 | bytes[1]); }

bool IsFrameHeader(unsigned marker) {
  return marker >= MARKER_SOF0 && marker <= MARKER_SOF15 && marker != MARKER_DHT && marker != MARKER_JPG &&
         marker != MARKER_DAC;
}

// The progressive frame types: SOF2, SOF6, SOF10 and SOF14.
bool IsProgressive(unsigned marker) { return (marker & 0x03) == 0x02; }

uint64_t CeilDivide(uint64_t value, uint64_t divisor) { return (value + divisor - 1) / divisor; }

// segment is the frame header's data after its length field.
bool ReadFrameHeader(const unsigned char* segment, size_t size, unsigned marker, LJpegFrame& frame) {
  if (size < 6) return false;
  frame.height = BigEndian16(segment + 1);
  frame.width = BigEndian16(segment + 3);
  frame.components = segment[5];
  if (frame.components == 0 || size < 6 + 3 * static_cast<size_t>(frame.components)) return false;
  frame.multiScan = IsProgressive(marker);
  unsigned maxH = 1, maxV = 1;
  for (int c = 0; c < frame.components; ++c) {
    unsigned h = segment[6 + 3 * c + 1] >> 4, v = segment[6 + 3 * c + 1] & 0x0F;
    if (h == 0 || v == 0 || h > MAX_SAMPLING || v > MAX_SAMPLING) return false;
    if (h > maxH) maxH = h;
    if (v > maxV) maxV = v;
  }
  frame.blocks = 0;
  for (int c = 0; c < frame.components; ++c) {
    unsigned h = segment[6 + 3 * c + 1] >> 4, v = segment[6 + 3 * c + 1] & 0x0F;
    uint64_t columns = CeilDivide(CeilDivide(uint64_t(frame.width) * h, maxH), 8);
    uint64_t rows = CeilDivide(CeilDivide(uint64_t(frame.height) * v, maxV), 8);
    frame.blocks += columns * rows;
  }
  return true;
}

// The frame the library describes by its size and component count alone:
// one component, or three whose sampling it names (the first 1 x 1, 2 x 1,
// 2 x 2, 1 x 2 or 4 x 1, the others 1 x 1), with distinct identifiers.
bool IsPlainFrame(const unsigned char* segment, size_t size, unsigned marker, const LJpegFrame& frame) {
  if (marker > MARKER_SOF2 || segment[0] != 8 || size != 6 + 3 * static_cast<size_t>(frame.components)) return false;
  if (frame.width > LARGEST_SIDE || frame.height > LARGEST_SIDE || frame.width == 0 || frame.height == 0) return false;
  if (frame.components == 1) return true;
  if (frame.components != 3) return false;
  const unsigned char* c = segment + 6;
  if (c[0] == c[3] || c[0] == c[6] || c[3] == c[6] || c[4] != 0x11 || c[7] != 0x11) return false;
  const unsigned sampling = c[1];
  return sampling == 0x11 || sampling == 0x21 || sampling == 0x22 || sampling == 0x12 || sampling == 0x41;
}

// Whole 8-bit quantisation tables in slots the library has.
bool IsPlainQuantisation(const unsigned char* segment, size_t size) {
  for (size_t at = 0; at < size; at += 1 + TABLE_ENTRIES)
    if (segment[at] >= TABLE_SLOTS || size - at < 1 + TABLE_ENTRIES) return false;
  return true;
}

// Huffman tables of at most 256 symbols each, in slots the library has,
// filling the segment exactly.
bool IsPlainHuffman(const unsigned char* segment, size_t size) {
  size_t at = 0;
  while (size - at > 16) {
    const unsigned slot = segment[at];
    if ((slot & 0x0F) >= TABLE_SLOTS || (slot & 0xE0) != 0) return false;
    size_t symbols = 0;
    for (int i = 1; i <= 16; ++i) symbols += segment[at + i];
    if (symbols > HUFFMAN_SYMBOLS || symbols > size - at - 17) return false;
    at += 17 + symbols;
  }
  return at == size;
}

// The first scan's components: one to four of the frame's, each once.
bool IsPlainScan(const unsigned char* segment, size_t size, const unsigned char* frameComponents,
                 int frameComponentCount) {
  const int count = segment[0];
  if (count < 1 || count > 4 || size != 4 + 2 * static_cast<size_t>(count)) return false;
  bool taken[4] = {};
  for (int i = 0; i < count; ++i) {
    int found = -1;
    for (int c = 0; c < frameComponentCount && c < 4; ++c)
      if (frameComponents[3 * c] == segment[1 + 2 * i] && !taken[c]) found = c;
    if (found < 0) return false;
    taken[found] = true;
  }
  return true;
}

// Segments the library reads with no more than a trace, beside those
// checked above: APP0 unless it names a JFIF version other than 1, the
// other application segments but Adobe's, comments and a restart interval.
bool IsPlainSegment(unsigned marker, const unsigned char* segment, size_t size) {
  if (marker == MARKER_APP0)
    return !(size >= 14 && segment[0] == 'J' && segment[1] == 'F' && segment[2] == 'I' && segment[3] == 'F' &&
             segment[4] == 0 && segment[5] != 1);
  if (marker == MARKER_DRI) return size == 2;
  return (marker > MARKER_APP0 && marker <= MARKER_APP15 && marker != MARKER_APP14) || marker == MARKER_COM;
}

}  // namespace

bool LJpegFrame::DataCanHoldBlocks(size_t length) const {
  uint64_t bits = length > scanData ? 8 * uint64_t(length - scanData) : 0;
  return blocks <= bits;
}

bool ReadJpegFrame(const unsigned char* data, size_t length, LJpegFrame& frame) {
  frame.plainHeader = false;
  if (data == nullptr || length < 2 || data[0] != 0xFF || data[1] != MARKER_SOI) return false;
  bool haveFrame = false;
  bool plain = true;
  const unsigned char* frameComponents = nullptr;
  size_t position = 2;
  for (;;) {
    // Like the library, skip whatever stands between segments up to the
    // next marker, and the fill bytes before its code. Anything but fill
    // bytes draws a warning from the library.
    const size_t gapStart = position;
    while (position < length && data[position] != 0xFF) ++position;
    if (position != gapStart) plain = false;
    while (position < length && data[position] == 0xFF) ++position;
    if (position >= length) return false;
    unsigned marker = data[position++];
    // A zero after 0xFF is a stuffed byte, not a marker.
    if (marker == 0) plain = false;
    if (marker == 0 || marker == MARKER_TEM || (marker >= MARKER_RST0 && marker <= MARKER_RST7)) continue;
    if (marker == MARKER_EOI || marker == MARKER_SOI || position + 2 > length) return false;
    size_t size = BigEndian16(data + position);
    if (size < 2 || position + size > length) return false;
    const unsigned char* segment = data + position + 2;
    const size_t segmentSize = size - 2;
    if (IsFrameHeader(marker)) {
      if (haveFrame || !ReadFrameHeader(segment, segmentSize, marker, frame)) return false;
      haveFrame = true;
      frameComponents = segment + 6;
      plain = plain && IsPlainFrame(segment, segmentSize, marker, frame);
    } else if (marker == MARKER_SOS) {
      if (!haveFrame || size < 3) return false;
      if (segment[0] < frame.components) frame.multiScan = true;
      frame.scanData = position + size;
      frame.plainHeader = plain && IsPlainScan(segment, segmentSize, frameComponents, frame.components);
      return true;
    } else if (marker == MARKER_DQT) {
      plain = plain && IsPlainQuantisation(segment, segmentSize);
    } else if (marker == MARKER_DHT) {
      plain = plain && IsPlainHuffman(segment, segmentSize);
    } else {
      plain = plain && IsPlainSegment(marker, segment, segmentSize);
    }
    position += size;
  }
}

}  // namespace lum
