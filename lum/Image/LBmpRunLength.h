// The run-length encoded bitmaps: RLE8 (8-bit indices) and RLE4 (4-bit
// indices, two to a byte, high nibble first), read as 2-byte pairs. A
// pair with a non-zero count repeats one value; a zero count escapes: end
// of line, end of bitmap, delta (move right and down) or an absolute run
// of indices padded to an even byte count.
#pragma once

#include "lum/Image/LBmpPixels.h"

namespace lum {

// Pixels that no run reaches stay black. Runs that reach past a row's end
// are cut there, rows past the last are dropped. The data may end without
// the end-of-bitmap escape only once the last row is complete; before that
// it is short.
BmpDecodeResult DecodeBmpRunLength(const LBmpBitmap& bitmap, const unsigned char* data, size_t size,
                                   unsigned char* pixels, LBmpDecodeReport& report);

}  // namespace lum
