// The warnings the image loaders give about a file: a fixed start, the
// stream's name and a fixed end, as one message on channel 7.
#pragma once

#include "kor/Utils/UBaseString.h"

namespace lum {

void WarnAboutImage(const char* start, const kor::UString& name, const char* end);

}  // namespace lum
