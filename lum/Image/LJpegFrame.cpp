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
  MAX_SAMPLING = 4
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

}  // namespace

bool LJpegFrame::DataCanHoldBlocks(size_t length) const {
  uint64_t bits = length > scanData ? 8 * uint64_t(length - scanData) : 0;
  return blocks <= bits;
}

bool ReadJpegFrame(const unsigned char* data, size_t length, LJpegFrame& frame) {
  if (data == nullptr || length < 2 || data[0] != 0xFF || data[1] != MARKER_SOI) return false;
  bool haveFrame = false;
  size_t position = 2;
  for (;;) {
    // Like the library, skip whatever stands between segments up to the
    // next marker, and the fill bytes before its code.
    while (position < length && data[position] != 0xFF) ++position;
    while (position < length && data[position] == 0xFF) ++position;
    if (position >= length) return false;
    unsigned marker = data[position++];
    // A zero after 0xFF is a stuffed byte, not a marker.
    if (marker == 0 || marker == MARKER_TEM || (marker >= MARKER_RST0 && marker <= MARKER_RST7)) continue;
    if (marker == MARKER_EOI || marker == MARKER_SOI || position + 2 > length) return false;
    size_t size = BigEndian16(data + position);
    if (size < 2 || position + size > length) return false;
    const unsigned char* segment = data + position + 2;
    if (IsFrameHeader(marker)) {
      if (haveFrame || !ReadFrameHeader(segment, size - 2, marker, frame)) return false;
      haveFrame = true;
    } else if (marker == MARKER_SOS) {
      if (!haveFrame || size < 3) return false;
      if (segment[0] < frame.components) frame.multiScan = true;
      frame.scanData = position + size;
      return true;
    }
    position += size;
  }
}

}  // namespace lum
