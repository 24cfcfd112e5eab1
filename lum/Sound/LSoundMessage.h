// The messages the sound loaders give about a stream: a fixed start, the
// stream's name and a fixed end, as one message on channel 7.
#pragma once

#include "kor/Utils/UBaseString.h"

namespace lum {

void ReportAboutSound(const char* start, const kor::UString& name, const char* end);

// The notice of a layout with several channels, which loading accepts.
void NoticeSeveralChannels(const kor::UString& name);

}  // namespace lum
