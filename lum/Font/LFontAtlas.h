// A font's glyphs drawn at one pixel size into one image of alpha values,
// with what laying out text needs of each: its cell in the image, its
// bearing, its advance, and the kerning between pairs of them. Glyphs are
// FreeType's outlines, hinted as FreeType does by default and smoothed to
// 256 levels; the font's embedded bitmaps are not used.
#pragma once

#include <cstdint>

#include "kor/Utils/UArray.h"
#include "lum/LData_Image.h"

namespace lum {

class LData_Font;

// The bounds of one atlas, which keep its memory and time in proportion.
enum FontAtlasLimit {
  FONT_ATLAS_LARGEST_PIXEL_SIZE = 512,
  FONT_ATLAS_MOST_GLYPHS = 1024,
  FONT_ATLAS_LARGEST_SIDE = 4096
};

struct LFontGlyph {
  uint32_t character;
  uint32_t glyphIndex;  // 0, the font's missing glyph, for a character it lacks
  // The cell in pixels: where the glyph's bitmap lies in the image. A
  // blank glyph such as a space, or one without width or height, has an
  // empty cell (0 by 0) at 0, 0.
  int32_t x, y, width, height;
  // In pixels, from the pen on the baseline to the cell's left edge and up
  // to its top edge.
  int32_t bearingX, bearingY;
  int32_t advance;  // how far the pen moves on, in 64ths of a pixel
};

struct LFontKerning {
  uint32_t left, right;  // characters
  int32_t amount;        // added to the pen between them, in 64ths of a pixel
};

class LFontAtlas {
 public:
  LFontAtlas() : pixelSize(0), ascender(0), descender(0), lineHeight(0) {}

  LData_Image image;                   // TEXTURE_FORMAT_A8, zero outside the cells
  kor::UArray<LFontGlyph> glyphs;      // one per distinct character, in order of first appearance
  kor::UArray<LFontKerning> kernings;  // every pair of the glyphs whose kerning is not zero
  int32_t pixelSize;                   // the em in pixels
  // At this size, in 64ths of a pixel, as the font's record has them.
  int32_t ascender, descender, lineHeight;
};

// The characters of a UTF-8 text (LUtf8Text.h says how broken sequences
// read), or those from first to last. The font must have been read with
// its bytes (Read, not ReadInfo). False, with a message on channel 7 and
// the atlas as it was, when the size or the count of characters is beyond
// the limits, the image would be larger than they allow, or FreeType
// cannot draw a glyph.
bool RenderFontAtlas(const LData_Font& font, const char* text, int pixelSize, LFontAtlas& atlas);
bool RenderFontAtlas(const LData_Font& font, uint32_t first, uint32_t last, int pixelSize, LFontAtlas& atlas);

}  // namespace lum
