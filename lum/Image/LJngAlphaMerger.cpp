#include "lum/Image/LJngAlphaMerger.h"

#include <cstdint>
#include <cstring>

#include "lum/Image/LTwoHalves.h"

namespace lum {

namespace {

uint32_t AlphaSample8(const unsigned char* samples, size_t index) { return samples[index]; }

uint32_t AlphaSample16(const unsigned char* samples, size_t index) {
  uint16_t word;
  std::memcpy(&word, samples + 2 * index, sizeof word);
  return word / 257u;
}

// The value of a byte at position `byte` of a word in machine order:
// pixels are merged a whole word at a time, which the compiler turns into
// vector code (byte by byte the merge would cost as much as the decode).
template <class WORD>
WORD ByteUnit(int byte) {
  unsigned char bytes[sizeof(WORD)] = {};
  bytes[byte] = 1;
  WORD unit;
  std::memcpy(&unit, bytes, sizeof unit);
  return unit;
}

// Byte 0 of each four-byte pixel (the filler) becomes its alpha sample.
template <uint32_t (*SAMPLE)(const unsigned char*, size_t)>
void FillFillers(const unsigned char* __restrict samples, unsigned char* __restrict pixels, size_t begin, size_t end) {
  const uint32_t unit = ByteUnit<uint32_t>(0);
  const uint32_t keep = ~(unit * 0xFFu);
  for (size_t i = begin; i < end; ++i) {
    uint32_t pixel;
    std::memcpy(&pixel, pixels + 4 * i, sizeof pixel);
    pixel = (pixel & keep) | SAMPLE(samples, i) * unit;
    std::memcpy(pixels + 4 * i, &pixel, sizeof pixel);
  }
}

// Alpha then grey for each pixel.
template <uint32_t (*SAMPLE)(const unsigned char*, size_t)>
void Interleave(const unsigned char* __restrict samples, const unsigned char* __restrict grey,
                unsigned char* __restrict pixels, size_t begin, size_t end) {
  const uint16_t alphaUnit = ByteUnit<uint16_t>(0);
  const uint16_t greyUnit = ByteUnit<uint16_t>(1);
  for (size_t i = begin; i < end; ++i) {
    uint16_t pixel = static_cast<uint16_t>(SAMPLE(samples, i) * alphaUnit + grey[i] * greyUnit);
    std::memcpy(pixels + 2 * i, &pixel, sizeof pixel);
  }
}

}  // namespace

LJngAlphaMerger::LJngAlphaMerger(const LData_Image& alpha, LData_Image& image, const std::atomic<bool>* alphaReady)
    : m_alpha(alpha),
      m_image(image),
      m_alphaReady(alphaReady),
      m_width(static_cast<size_t>(image.imageData->width)),
      m_mergedRows(0),
      m_deliveredRows(0),
      m_interleaved(nullptr) {
  if (image.format == TEXTURE_FORMAT_L8)
    m_interleaved = new unsigned char[2 * m_width * static_cast<size_t>(image.imageData->height)];
}

LJngAlphaMerger::~LJngAlphaMerger() { delete[] m_interleaved; }

void LJngAlphaMerger::RowsReady(int firstRow, int rowCount) {
  m_deliveredRows = firstRow + rowCount;
  // Acquire: the alpha's pixels and format are complete once the flag is.
  if (m_alphaReady == nullptr || m_alphaReady->load(std::memory_order_acquire)) MergeRows(m_deliveredRows);
}

// Merges the rows from the last merged one up to endRow.
void LJngAlphaMerger::MergeRows(int endRow) {
  if (endRow <= m_mergedRows) return;
  int firstRow = m_mergedRows;
  m_mergedRows = endRow;
  // Once the alpha is decoded the second core has no other work.
  if (static_cast<size_t>(endRow - firstRow) * m_width < TWO_HALVES_PIXELS)
    MergeRange(firstRow, endRow);
  else
    RunInTwoHalves(firstRow, endRow, [this](int first, int end) { MergeRange(first, end); });
}

void LJngAlphaMerger::MergeRange(int firstRow, int endRow) const {
  size_t begin = static_cast<size_t>(firstRow) * m_width;
  size_t end = static_cast<size_t>(endRow) * m_width;
  const unsigned char* samples = m_alpha.imageData->pixels;
  unsigned char* pixels = m_image.imageData->pixels;
  bool wide = m_alpha.format == TEXTURE_FORMAT_L16;
  if (m_image.format == TEXTURE_FORMAT_X8B8G8R8) {
    if (wide) FillFillers<AlphaSample16>(samples, pixels, begin, end);
    else FillFillers<AlphaSample8>(samples, pixels, begin, end);
  } else if (m_interleaved) {
    if (wide) Interleave<AlphaSample16>(samples, pixels, m_interleaved, begin, end);
    else Interleave<AlphaSample8>(samples, pixels, m_interleaved, begin, end);
  }
}

void LJngAlphaMerger::Finish() {
  MergeRows(m_deliveredRows);
  if (m_image.format == TEXTURE_FORMAT_X8B8G8R8) {
    m_image.format = TEXTURE_FORMAT_A8B8G8R8;
  } else if (m_interleaved) {
    m_image.imageData->SetPixels(m_interleaved);
    m_interleaved = nullptr;
    m_image.format = TEXTURE_FORMAT_A8L8;
  }
}

}  // namespace lum
