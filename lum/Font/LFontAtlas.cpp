#include "lum/Font/LFontAtlas.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "kor/ErrorDescription.h"
#include "kor/Utils/UTable.h"
#include "lum/Font/LData_Font.h"
#include "lum/Font/LFreeTypeFace.h"
#include "lum/Font/LUtf8Text.h"
#include "lum/Image/LImageWarning.h"
#include "lum/Image/LStreamBytes.h"

namespace lum {

namespace {

// Outlines only, so that every bitmap comes from the smooth renderer with
// one byte per pixel.
const FT_Int32 LOAD_FLAGS = FT_LOAD_RENDER | FT_LOAD_NO_BITMAP;

const uint64_t LARGEST_AREA = uint64_t(FONT_ATLAS_LARGEST_SIDE) * FONT_ATLAS_LARGEST_SIDE;

void Refuse(const LData_Font& font, const char* end) { WarnAboutImage("Can't draw font \"", font.name, end); }

// FreeType's distances are longs; a hostile font may make them anything.
int32_t Clamped(FT_Pos value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return int32_t(value);
}

// In order of first appearance; false when there are more than an atlas holds.
bool DistinctCharacters(const kor::UArray<uint32_t>& characters, kor::UArray<uint32_t>& distinct) {
  kor::UTable<uint32_t, int> seen;
  for (int i = 0; i < characters.GetNum(); ++i) {
    if (!seen.Insert(characters[i], 0)) continue;
    if (distinct.GetNum() == FONT_ATLAS_MOST_GLYPHS) return false;
    distinct.Add(characters[i]);
  }
  return true;
}

// Loads and renders the glyph into the face's slot and describes it; its
// cell is placed later. False when FreeType cannot draw it.
bool DrawGlyph(FT_Face face, uint32_t character, LFontGlyph& glyph) {
  glyph.character = character;
  glyph.glyphIndex = FT_Get_Char_Index(face, character);
  if (FT_Load_Glyph(face, glyph.glyphIndex, LOAD_FLAGS) != 0) return false;
  FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.width >= unsigned(FONT_ATLAS_LARGEST_SIDE) || bitmap.rows >= unsigned(FONT_ATLAS_LARGEST_SIDE)) return false;
  bool blank = bitmap.width == 0 || bitmap.rows == 0;
  if (!blank && (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || unsigned(std::abs(bitmap.pitch)) < bitmap.width))
    return false;
  // A blank glyph may still be as wide as its outline (a line without
  // height): its cell takes no room, so it must not claim any.
  glyph.x = glyph.y = 0;
  glyph.width = blank ? 0 : int32_t(bitmap.width);
  glyph.height = blank ? 0 : int32_t(bitmap.rows);
  glyph.bearingX = slot->bitmap_left;
  glyph.bearingY = slot->bitmap_top;
  glyph.advance = Clamped(slot->advance.x);
  return true;
}

// Appends the slot's bitmap, top row first, without padding.
void KeepBitmap(const FT_Bitmap& bitmap, kor::UArray<unsigned char>& bitmaps) {
  if (bitmap.width == 0 || bitmap.rows == 0) return;
  int start = bitmaps.Grow(int(bitmap.width * bitmap.rows));
  unsigned pitch = unsigned(std::abs(bitmap.pitch));
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    // A negative pitch stores the rows bottom first.
    unsigned stored = bitmap.pitch >= 0 ? row : bitmap.rows - 1 - row;
    std::memcpy(bitmaps.GetData() + start + row * bitmap.width, bitmap.buffer + size_t(stored) * pitch, bitmap.width);
  }
}

bool IsBlank(const LFontGlyph& glyph) { return glyph.width == 0 || glyph.height == 0; }

// Places the cells in rows, in glyph order, one pixel apart so that a
// sampler reading one cell never picks up its neighbour; the image is
// about as wide as the square root of the area they need. False when it
// would be larger than an atlas may be.
bool PackCells(kor::UArray<LFontGlyph>& glyphs, int& width, int& height) {
  uint64_t area = 0;
  int widest = 1;
  for (int i = 0; i < glyphs.GetNum(); ++i) {
    if (IsBlank(glyphs[i])) continue;
    area += uint64_t(glyphs[i].width + 1) * uint64_t(glyphs[i].height + 1);
    if (glyphs[i].width + 1 > widest) widest = glyphs[i].width + 1;
  }
  double side = std::ceil(std::sqrt(double(area)));
  width = side > FONT_ATLAS_LARGEST_SIDE ? FONT_ATLAS_LARGEST_SIDE : int(side);
  if (width < widest) width = widest;
  int x = 0, y = 0, rowHeight = 0;
  for (int i = 0; i < glyphs.GetNum(); ++i) {
    LFontGlyph& glyph = glyphs[i];
    if (IsBlank(glyph)) continue;
    if (x + glyph.width > width) {
      x = 0;
      y += rowHeight + 1;
      rowHeight = 0;
    }
    glyph.x = x;
    glyph.y = y;
    x += glyph.width + 1;
    if (glyph.height > rowHeight) rowHeight = glyph.height;
    if (y + rowHeight > FONT_ATLAS_LARGEST_SIDE) return false;
  }
  height = y + rowHeight > 0 ? y + rowHeight : 1;
  return true;
}

void CopyCells(const kor::UArray<LFontGlyph>& glyphs, const kor::UArray<unsigned char>& bitmaps, int width,
               unsigned char* pixels) {
  const unsigned char* bitmap = bitmaps.GetData();
  for (int i = 0; i < glyphs.GetNum(); ++i) {
    const LFontGlyph& glyph = glyphs[i];
    if (IsBlank(glyph)) continue;
    for (int row = 0; row < glyph.height; ++row)
      std::memcpy(pixels + size_t(glyph.y + row) * size_t(width) + size_t(glyph.x), bitmap + size_t(row) * size_t(glyph.width),
                  size_t(glyph.width));
    bitmap += size_t(glyph.width) * size_t(glyph.height);
  }
}

void FindKernings(FT_Face face, const kor::UArray<LFontGlyph>& glyphs, kor::UArray<LFontKerning>& kernings) {
  if (!FT_HAS_KERNING(face)) return;
  for (int left = 0; left < glyphs.GetNum(); ++left) {
    for (int right = 0; right < glyphs.GetNum(); ++right) {
      FT_Vector kerning;
      if (FT_Get_Kerning(face, glyphs[left].glyphIndex, glyphs[right].glyphIndex, FT_KERNING_DEFAULT, &kerning) != 0 ||
          kerning.x == 0)
        continue;
      LFontKerning pair = {glyphs[left].character, glyphs[right].character, Clamped(kerning.x)};
      kernings.Add(pair);
    }
  }
}

bool RenderCharacters(const LData_Font& font, const kor::UArray<uint32_t>& characters, int pixelSize,
                      LFontAtlas& atlas) {
  KOR_GUARD_BEGIN
  if (pixelSize < 1 || pixelSize > FONT_ATLAS_LARGEST_PIXEL_SIZE) {
    Refuse(font, "\". The pixel size is out of range.");
    return false;
  }
  kor::UArray<uint32_t> distinct;
  if (!DistinctCharacters(characters, distinct)) {
    Refuse(font, "\". The text holds too many characters.");
    return false;
  }
  if (font.fileBytes.GetNum() == 0) {
    Refuse(font, "\". The font was read without its glyphs.");
    return false;
  }
  LFreeTypeFace engine;
  if (!engine.Open(font.fileBytes.GetData(), uint64_t(font.fileBytes.GetNum())) ||
      FT_Set_Pixel_Sizes(engine.Get(), 0, FT_UInt(pixelSize)) != 0) {
    Refuse(font, "\". It is corrupt.");
    return false;
  }
  FT_Face face = engine.Get();
  kor::UArray<LFontGlyph> glyphs;
  kor::UArray<unsigned char> bitmaps;
  for (int i = 0; i < distinct.GetNum(); ++i) {
    LFontGlyph glyph = {};
    if (!DrawGlyph(face, distinct[i], glyph)) {
      Refuse(font, "\". A glyph can't be drawn.");
      return false;
    }
    if (uint64_t(bitmaps.GetNum()) + uint64_t(glyph.width) * uint64_t(glyph.height) > LARGEST_AREA) {
      Refuse(font, "\". The atlas would be too large.");
      return false;
    }
    KeepBitmap(face->glyph->bitmap, bitmaps);
    glyphs.Add(glyph);
  }
  int width = 0, height = 0;
  if (!PackCells(glyphs, width, height)) {
    Refuse(font, "\". The atlas would be too large.");
    return false;
  }
  kor::UArray<LFontKerning> kernings;
  FindKernings(face, glyphs, kernings);
  LData_ImagePart* part = new LData_ImagePart(width, height);
  atlas.image.SetImageData(part);
  part->SetPixels(NewPixelArray(uint64_t(width) * uint64_t(height), 1));
  std::memset(part->pixels, 0, size_t(width) * size_t(height));
  CopyCells(glyphs, bitmaps, width, part->pixels);
  atlas.image.dimension = TEXTURE_DIMENSION_2D;
  atlas.image.format = TEXTURE_FORMAT_A8;
  atlas.glyphs = glyphs;
  atlas.kernings = kernings;
  atlas.pixelSize = pixelSize;
  atlas.ascender = Clamped(face->size->metrics.ascender);
  atlas.descender = Clamped(face->size->metrics.descender);
  atlas.lineHeight = Clamped(face->size->metrics.height);
  return true;
  KOR_GUARD_END
}

}  // namespace

bool RenderFontAtlas(const LData_Font& font, const char* text, int pixelSize, LFontAtlas& atlas) {
  KOR_GUARD_BEGIN
  kor::UArray<uint32_t> characters;
  DecodeUtf8(text ? text : "", characters);
  return RenderCharacters(font, characters, pixelSize, atlas);
  KOR_GUARD_END
}

bool RenderFontAtlas(const LData_Font& font, uint32_t first, uint32_t last, int pixelSize, LFontAtlas& atlas) {
  KOR_GUARD_BEGIN
  kor::UArray<uint32_t> characters;
  // More than an atlas holds is refused by the count, without a long loop.
  for (uint64_t character = first; character <= last && characters.GetNum() <= FONT_ATLAS_MOST_GLYPHS; ++character)
    characters.Add(uint32_t(character));
  return RenderCharacters(font, characters, pixelSize, atlas);
  KOR_GUARD_END
}

}  // namespace lum
