// The loaded-font record: the names and metrics of the first face of a
// font file, and the file's bytes, kept so that glyphs can be drawn from
// it later (LFontAtlas.h).
#pragma once

#include <cstdint>

#include "kor/Utils/UArray.h"
#include "kor/Utils/UBaseString.h"
#include "lum/LData.h"

namespace lum {

class LData_Font : public LData {
 public:
  LData_Font();
  ~LData_Font() noexcept(false) override {}

  kor::UString name;  // the stream's, for messages about the font
  kor::UString family;
  kor::UString style;
  int32_t faceCount;   // more than one for a collection
  int32_t glyphCount;  // of the first face
  // In font units, of which an em holds unitsPerEm. The descender lies
  // below the baseline and is negative; the line height is the distance
  // from one baseline to the next.
  int32_t unitsPerEm;
  int32_t ascender;
  int32_t descender;
  int32_t lineHeight;
  bool hasKerning;
  // The whole file after Read; empty after ReadInfo.
  kor::UArray<unsigned char> fileBytes;
};

}  // namespace lum
