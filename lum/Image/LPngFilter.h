// Undoing the per-row filters of PNG image data.
#pragma once

#include <cstddef>

namespace lum {

enum PngFilterType {
  ROW_FILTER_NONE = 0,
  ROW_FILTER_SUB = 1,
  ROW_FILTER_UP = 2,
  ROW_FILTER_AVERAGE = 3,
  ROW_FILTER_PAETH = 4
};

// Restores one row of length bytes in place. prior is the row above in the
// same pass, already restored, or null for a pass's first row (which is
// then filtered against zeros). bpp is the filter step: the bytes of one
// whole pixel, at least 1. Unknown filter types leave the row as it is.
void UnfilterPngRow(int filterType, unsigned char* row, const unsigned char* prior, size_t length,
                    size_t bpp);

// Restores rowCount consecutive rows of one pass in place, with the result
// of UnfilterPngRow row after row. Row j starts at rows + j * stride
// (stride at least length + 1) with its filter-type byte, its length bytes
// after it. prior is the restored row above the first (length bytes) or
// null for a pass's first row. Where two rows in turn are restored by
// Paeth or Average at 1 to 4 bytes a pixel they run together, so rows in
// batches go faster than one by one.
void UnfilterPngRows(unsigned char* rows, const unsigned char* prior, size_t rowCount, size_t length,
                     size_t stride, size_t bpp);

}  // namespace lum
