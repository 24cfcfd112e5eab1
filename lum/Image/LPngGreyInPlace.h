// Grey PNG image data restored where it was inflated: rows of 8- or 16-bit
// samples, not interlaced (a JNG's alpha channel is such data), become a
// record's pixels with no second buffer of the image's size.
#pragma once

#include <cstdint>

#include "lum/Image/LPngHeader.h"

namespace lum {

// Whether ReconstructGreyInPlace takes header's image data: grey samples of
// 8 or 16 bits, not interlaced, at least one pixel.
bool CanReconstructGreyInPlace(const PngHeader& header);

// Restores the rows of such data where they lie and moves each row's
// samples down over the filter bytes before them, 16-bit samples turned into
// machine order: the data's first width x height x sample bytes become the
// record's pixels. data holds at least PngImageDataSize bytes.
//
// A row filtered with None or Sub needs no row above it: a large image with
// such a row near its middle is restored in two parts, the rows from that
// one on by a second thread.
void ReconstructGreyInPlace(const PngHeader& header, unsigned char* data);

// Below this many pixels a second thread costs about what it saves.
enum : uint64_t { GREY_IN_TWO_PARTS_PIXELS = 1 << 18 };
// Sets that size for every later restore and returns the one before: 0
// lets every image that allows it take a thread, UINT64_MAX none (tests
// compare the two ways).
uint64_t SetGreyInTwoPartsPixels(uint64_t pixels);

}  // namespace lum
