#include "lum/Font/LData_Font.h"

namespace lum {

LData_Font::LData_Font()
    : faceCount(0), glyphCount(0), unitsPerEm(0), ascender(0), descender(0), lineHeight(0), hasKerning(false) {}

}  // namespace lum
