// The text header of a Radiance picture, cut into tokens by the text
// parser's hash-comment grammar: the "#?RADIANCE" line, FORMAT, GAMMA and
// EXPOSURE lines, comments, and the resolution line -Y height +X width.
#pragma once

#include <cstdint>

#include "kor/CoreServices/Interfaces/IInputStream.h"

namespace lum {

struct RadianceHeader {
  float gamma;
  float exposure;
  int width;
  int height;
  // Stream offset of the first pixel byte: just after the line break that
  // ends the resolution line.
  uint64_t dataStart;
};

// Reads the header from the start of the stream. False after a message on
// channel 7 when it is not a Radiance header, names another format, or
// lacks the format or either size. Otherwise the stream is left at the
// first pixel byte.
bool ReadRadianceHeader(kor::IInputStream& stream, RadianceHeader& header);

}  // namespace lum
