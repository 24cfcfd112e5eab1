#include "lum/Image/LPngReconstruct.h"

#include <cstring>

#include "kor/ErrorDescription.h"
#include "lum/Image/LLoader_Image_PNG.h"
#include "lum/Image/LPngFilter.h"
#include "lum/Image/LPngUnpack.h"

namespace lum {

namespace {

const PngPass WHOLE_IMAGE[1] = {{0, 0, 1, 1}};

const PngPass ADAM7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                          {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

uint64_t AddSaturated(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

uint64_t MultiplySaturated(uint64_t a, uint64_t b) {
  return a != 0 && b > UINT64_MAX / a ? UINT64_MAX : a * b;
}

// Where the restored rows of one pass go in the record's pixels: only the
// pixels inside the record's part are written, so data whose header claims
// another size than the part's (a JNG alpha channel) stays in bounds.
struct PassTarget {
  unsigned char* pixels;
  size_t partWidth;
  size_t partHeight;
  size_t pixelBytes;
  PngRowUnpacker unpack;
  const unsigned char* paletteTable;
};

// Well inside the second-level cache.
const size_t BATCH_BYTES = 64 * 1024;

// Restores the rows of one pass from data on and places them; returns the
// bytes the pass took.
size_t ReconstructPass(unsigned char* data, const PngPass& pass, uint64_t width, uint64_t height,
                       const PngPixelLayout& layout, const PassTarget& target) {
  size_t columns = static_cast<size_t>(PngPassExtent(width, pass.x0, pass.dx));
  size_t rows = static_cast<size_t>(PngPassExtent(height, pass.y0, pass.dy));
  if (columns == 0 || rows == 0) return 0;
  size_t rowBytes = static_cast<size_t>(PngRowBytes(columns, layout.bitsPerPixel));
  size_t bpp = (static_cast<size_t>(layout.bitsPerPixel) + 7) / 8;
  size_t visibleColumns = static_cast<size_t>(PngPassExtent(target.partWidth, pass.x0, pass.dx));
  if (visibleColumns > columns) visibleColumns = columns;
  ptrdiff_t step = static_cast<ptrdiff_t>(pass.dx * target.pixelBytes);
  const size_t stride = rowBytes + 1;
  // Rows are restored a batch at a time, which lets consecutive rows run
  // together, and unpacked while the batch is still in the cache.
  const size_t batchRows = stride < BATCH_BYTES / 2 ? (BATCH_BYTES / stride) & ~static_cast<size_t>(1) : 2;
  const unsigned char* prior = nullptr;
  for (size_t first = 0; first < rows; first += batchRows) {
    size_t count = rows - first < batchRows ? rows - first : batchRows;
    UnfilterPngRows(data + first * stride, prior, count, rowBytes, stride, bpp);
    for (size_t j = first; j < first + count; ++j) {
      size_t y = pass.y0 + j * pass.dy;
      if (y < target.partHeight && visibleColumns > 0)
        target.unpack(data + j * stride + 1, target.pixels + (y * target.partWidth + pass.x0) * target.pixelBytes,
                      visibleColumns, step, target.paletteTable);
    }
    prior = data + (first + count - 1) * stride + 1;
  }
  return rows * stride;
}

}  // namespace

int GetPngPasses(int interlaceMethod, const PngPass*& passes) {
  switch (interlaceMethod) {
    case PngHeader::INTERLACE_NONE:
      passes = WHOLE_IMAGE;
      return 1;
    case PngHeader::INTERLACE_ADAM7:
      passes = ADAM7;
      return 7;
    default:
      passes = nullptr;
      return 0;
  }
}

uint64_t PngImageDataSize(const PngHeader& header, int bitsPerPixel) {
  const PngPass* passes;
  int passNum = GetPngPasses(header.interlaceMethod, passes);
  uint64_t total = 0;
  for (int p = 0; p < passNum; ++p) {
    uint64_t columns = PngPassExtent(header.width, passes[p].x0, passes[p].dx);
    uint64_t rows = PngPassExtent(header.height, passes[p].y0, passes[p].dy);
    if (columns == 0 || rows == 0) continue;
    uint64_t rowBytes = PngRowBytes(columns, bitsPerPixel) + 1;
    total = AddSaturated(total, MultiplySaturated(rows, rowBytes));
  }
  return total;
}

bool LLoader_Image_PNG::ReconstructImage(LData_Image& image, const PngHeader& header,
                                         kor::UArray<unsigned char>& data, const PngPalette* palette) {
  KOR_GUARD_BEGIN
  PngPixelLayout layout;
  const PngPass* passes;
  int passNum = GetPngPasses(header.interlaceMethod, passes);
  LData_ImagePart* part = image.imageData;
  if (passNum == 0 || !GetPngPixelLayout(header.colorType, header.bitDepth, layout)) return false;
  if (part == nullptr || part->pixels == nullptr || part->width < 0 || part->height < 0) return false;
  if (LData_Image::BytesPerPixel(image.format) != layout.pixelBytes) return false;
  if (PngImageDataSize(header, layout.bitsPerPixel) > static_cast<uint64_t>(data.GetNum())) return false;

  unsigned char paletteTable[PNG_PALETTE_TABLE_SIZE];
  if (header.colorType == PngHeader::COLOR_TYPE_PALETTE)
    BuildPngPaletteTable(palette ? palette->entries : nullptr, palette ? palette->entryNum : 0,
                         paletteTable);
  PassTarget target = {part->pixels,
                       static_cast<size_t>(part->width),
                       static_cast<size_t>(part->height),
                       static_cast<size_t>(layout.pixelBytes),
                       layout.unpack,
                       paletteTable};
  // A header smaller than the part leaves pixels that no pass reaches.
  if (header.width < target.partWidth || header.height < target.partHeight)
    std::memset(part->pixels, 0, target.partWidth * target.partHeight * target.pixelBytes);

  unsigned char* next = data.GetData();
  for (int p = 0; p < passNum; ++p)
    next += ReconstructPass(next, passes[p], header.width, header.height, layout, target);
  return true;
  KOR_GUARD_END
}

}  // namespace lum
