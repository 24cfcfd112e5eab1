// Decoding a JNG's alpha stream into an alpha record of its own, by the
// compression method its JHDR names: deflated PNG samples or a JPEG stream.
#pragma once

#include "kor/Utils/UBaseString.h"
#include "lum/Image/LJngStreams.h"
#include "lum/Image/LLoader_Image_JPG_Base.h"
#include "lum/Image/LLoader_Image_JNG.h"
#include "lum/LData_Image.h"

namespace lum {

// Decodes the alpha stream of streams (gathered as an array for a deflated
// alpha) into alpha, which takes the format and a part of
// width x height (the colour image's size). False after a message naming
// streamName when the method is unknown, or the alpha cannot be decoded or
// does not fit that size. The JPEG bridge's errors are raised. A JPEG
// alpha decodes with the library handle of handleOwner when there is one.
bool DecodeJngAlpha(const LLoader_Image_JNG::JngHeader& header, const LJngStreams& streams,
                    const kor::UString& streamName, int width, int height, LData_Image& alpha,
                    LLoader_Image_JPG_Base::Decompressor* handleOwner = nullptr);

// An alpha record that can be merged into an image of width x height: grey
// samples, one for every pixel.
bool JngAlphaFits(const LData_Image& alpha, int width, int height);

}  // namespace lum
