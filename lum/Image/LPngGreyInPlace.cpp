#include "lum/Image/LPngGreyInPlace.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <thread>

#include "lum/Image/LPngFilter.h"

namespace lum {

namespace {

// SetGreyInTwoPartsPixels's size; read on any thread.
std::atomic<uint64_t> s_twoPartsPixels(GREY_IN_TWO_PARTS_PIXELS);

// Moves count 16-bit big-endian samples from `from` down to `to` (to <=
// from) in machine order. Each chunk is read whole before any of it is
// written, so the overlap of the two ranges does no harm.
void MoveGrey16Down(const unsigned char* from, unsigned char* to, size_t count) {
  enum { CHUNK = 32 };
  size_t i = 0;
  for (; i + CHUNK <= count; i += CHUNK) {
    unsigned char bytes[2 * CHUNK];
    std::memcpy(bytes, from + 2 * i, sizeof bytes);
    uint16_t words[CHUNK];
    for (size_t k = 0; k < CHUNK; ++k) words[k] = static_cast<uint16_t>(bytes[2 * k] << 8 | bytes[2 * k + 1]);
    std::memcpy(to + 2 * i, words, sizeof words);
  }
  for (; i < count; ++i) {
    uint16_t word = static_cast<uint16_t>(from[2 * i] << 8 | from[2 * i + 1]);
    std::memcpy(to + 2 * i, &word, sizeof word);
  }
}

// The rows of the inflated data: row j's filter byte at j * stride, its
// samples after it; once moved down, at j * rowBytes.
struct GreyRows {
  explicit GreyRows(const PngHeader& header, unsigned char* bytes)
      : data(bytes),
        width(header.width),
        height(header.height),
        sampleBytes(header.bitDepth / 8u),
        rowBytes(width * sampleBytes),
        stride(rowBytes + 1) {}

  unsigned char* Row(size_t j) const { return data + j * stride + 1; }
  int FilterType(size_t j) const { return data[j * stride]; }

  // Row j's restored samples, from `from`, at its place in the pixels, 16-bit
  // ones in machine order. `from` may overlap that place from above.
  void Place(const unsigned char* from, size_t j) const {
    unsigned char* to = data + j * rowBytes;
    if (sampleBytes == 1) std::memmove(to, from, rowBytes);
    else MoveGrey16Down(from, to, width);
  }

  // Row j from where it was inflated to its place: that place ends at or
  // before row j + 1's first byte, and rows move in order.
  void MoveDown(size_t j) const { Place(Row(j), j); }

  unsigned char* data;
  size_t width;
  size_t height;
  size_t sampleBytes;
  size_t rowBytes;
  size_t stride;
};

// Rows are restored a batch at a time, which lets consecutive rows run
// together, and placed while the batch is still in the cache.
const size_t BATCH_BYTES = 128 * 1024;

// Restores rows begin to end - 1 and hands each but the last to place once
// the next is restored (its place may reach over the row before). The
// first row, restored against nothing, goes with the first batch as one
// more, so that the runs after it stay whole.
template <class Place>
void RestoreAndPlace(const GreyRows& rows, size_t begin, size_t end, Place place) {
  const size_t batchRows = PngRowBatch(rows.rowBytes, rows.sampleBytes, BATCH_BYTES);
  for (size_t first = begin; first < end;) {
    size_t count = first == begin ? batchRows + 1 : batchRows;
    if (count > end - first) count = end - first;
    UnfilterPngRows(rows.data + first * rows.stride, first == begin ? nullptr : rows.Row(first - 1), count,
                    rows.rowBytes, rows.stride, rows.sampleBytes);
    for (size_t j = first == begin ? begin : first - 1; j + 1 < first + count; ++j) place(j);
    first += count;
  }
}

void RestoreAndMove(const GreyRows& rows, size_t begin, size_t end) {
  RestoreAndPlace(rows, begin, end, [&rows](size_t j) { rows.MoveDown(j); });
}

// The second part's rows, restored from begin on as RestoreAndMove does.
// Their places must not reach into the first part's bytes, which lie below
// begin * stride: the first `held` rows, whose places do, are copied into
// held as they are instead, and moved into place once the first part is
// done.
void RestoreSecondPart(const GreyRows& rows, size_t begin, unsigned char* held, size_t heldRows) {
  auto place = [&](size_t j) {
    if (j < begin + heldRows) std::memcpy(held + (j - begin) * rows.rowBytes, rows.Row(j), rows.rowBytes);
    else rows.MoveDown(j);
  };
  RestoreAndPlace(rows, begin, rows.height, place);
  place(rows.height - 1);
}

// A row restored without the one above it.
bool StandsAlone(int filterType) { return filterType == ROW_FILTER_NONE || filterType == ROW_FILTER_SUB; }

// About what restoring a row of each filter type costs, beside the others.
unsigned RestoreCost(int filterType) {
  switch (filterType) {
    case ROW_FILTER_SUB: return 2;
    case ROW_FILTER_AVERAGE: return 3;
    case ROW_FILTER_PAETH: return 4;
    default: return 1;
  }
}

// The row standing alone that splits the work most evenly, 0 when none
// but the first does.
size_t MiddleRow(const GreyRows& rows) {
  uint64_t total = 0;
  for (size_t j = 0; j < rows.height; ++j) total += RestoreCost(rows.FilterType(j));
  size_t best = 0;
  uint64_t bestImbalance = total;
  uint64_t before = 0;
  for (size_t j = 0; j < rows.height; ++j) {
    if (j > 0 && StandsAlone(rows.FilterType(j))) {
      uint64_t imbalance = before > total - before ? 2 * before - total : total - 2 * before;
      if (imbalance < bestImbalance) {
        best = j;
        bestImbalance = imbalance;
      }
    }
    before += RestoreCost(rows.FilterType(j));
  }
  return best;
}

}  // namespace

bool CanReconstructGreyInPlace(const PngHeader& header) {
  return header.colorType == PngHeader::COLOR_TYPE_GREY && (header.bitDepth == 8 || header.bitDepth == 16) &&
         header.interlaceMethod == PngHeader::INTERLACE_NONE && header.width > 0 && header.height > 0;
}

// The two threads' bytes do not meet: the first part's rows lie, and move,
// below where the second part's begin, and the second part's places begin
// above its held rows.
void ReconstructGreyInPlace(const PngHeader& header, unsigned char* data) {
  const GreyRows rows(header, data);
  const uint64_t pixels = static_cast<uint64_t>(rows.width) * rows.height;
  size_t middle = pixels >= s_twoPartsPixels.load(std::memory_order_relaxed) ? MiddleRow(rows) : 0;
  // Row j's place reaches below middle * stride while j * rowBytes < middle * stride.
  size_t heldRows = 0;
  std::unique_ptr<unsigned char[]> held;
  std::thread second;
  if (middle > 0) {
    heldRows = std::min(rows.height - middle, (middle + rows.rowBytes - 1) / rows.rowBytes);
    try {
      held.reset(new unsigned char[heldRows * rows.rowBytes]);
      second = std::thread(RestoreSecondPart, rows, middle, held.get(), heldRows);
    } catch (...) {  // no thread: all of it here
      middle = 0;
    }
  }
  const size_t firstEnd = middle > 0 ? middle : rows.height;
  RestoreAndMove(rows, 0, firstEnd);
  rows.MoveDown(firstEnd - 1);
  if (!second.joinable()) return;
  second.join();
  for (size_t k = 0; k < heldRows; ++k) rows.Place(held.get() + k * rows.rowBytes, middle + k);
}

uint64_t SetGreyInTwoPartsPixels(uint64_t pixels) { return s_twoPartsPixels.exchange(pixels); }

}  // namespace lum
