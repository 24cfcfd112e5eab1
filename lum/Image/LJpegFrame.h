// What the JPEG bridge learns from a stream's markers before the library
// decodes it: the frame's size and components, whether the image comes in
// more than one scan, and how many 8 x 8 blocks its scans must code. Every
// block costs at least one bit of scan data, so a stream that claims more
// blocks than its bytes can hold is refused before anything is allocated
// for it. A header in the plainest forms needs no reading by the library
// before the decode, which reads it again anyway.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lum {

struct LJpegFrame {
  uint32_t width = 0;
  uint32_t height = 0;
  int components = 0;
  // Progressive, or a first scan that does not hold every component: the
  // library reads the whole stream before it delivers a row.
  bool multiScan = false;
  // The blocks of every component, each at its own sampling.
  uint64_t blocks = 0;
  // Where the first scan's coded data starts.
  size_t scanData = 0;
  // Every segment before the first scan is one the library reads without
  // an error or a warning, and the frame one it describes by its size and
  // component count alone: 8-bit samples coded with Huffman codes (baseline,
  // extended or progressive), one component, or three sampled in one of the
  // ways the library names; whole tables; no JFIF version other than 1, no
  // Adobe segment; nothing but fill bytes between segments.
  bool plainHeader = false;

  // True when the bytes from the first scan on hold at least one bit for
  // every block.
  bool DataCanHoldBlocks(size_t length) const;
};

// Walks the markers from the start of image to the first scan. False when
// the stream has no frame header followed by a scan, or a marker segment
// runs past the data or holds impossible values.
bool ReadJpegFrame(const unsigned char* data, size_t length, LJpegFrame& frame);

}  // namespace lum
