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

}  // namespace lum
