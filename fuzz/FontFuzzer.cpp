// Whole font files read from memory, and an atlas drawn from each that
// reads: nothing is raised, the atlas's cells lie inside its image, and
// every pixel of it can be read. The input's last byte chooses the pixel
// size, so that small and large sizes are both tried.
#include <cstdint>
#include <cstdlib>

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/ErrorDescription.h"
#include "lum/Font/LFontAtlas.h"
#include "lum/Font/LLoader_Font_OpenType.h"

namespace {

// Where the sum of the pixels goes, so that reading them is not optimised away.
volatile unsigned g_sink = 0;

// Letters with kerning pairs, characters beyond ASCII and a broken sequence.
const char* const TEXT = "AVTo yW.,fi g\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xFF";

void CheckAtlas(const lum::LFontAtlas& atlas) {
  const lum::LData_ImagePart* part = atlas.image.imageData;
  if (part == nullptr || part->pixels == nullptr || atlas.image.format != lum::TEXTURE_FORMAT_A8) std::abort();
  for (int i = 0; i < atlas.glyphs.GetNum(); ++i) {
    const lum::LFontGlyph& glyph = atlas.glyphs[i];
    if (glyph.x < 0 || glyph.y < 0 || glyph.width < 0 || glyph.height < 0 ||
        glyph.x + glyph.width > part->width || glyph.y + glyph.height > part->height)
      std::abort();
  }
  unsigned sum = 0;
  for (int64_t at = 0; at < int64_t(part->width) * part->height; ++at) sum += part->pixels[at];
  g_sink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kor::UStream_Memory stream(data, size);
  lum::LLoader_Font_OpenType loader;
  lum::LData_Font font;
  try {
    if (!loader.Read(stream, font, nullptr)) return 0;
    int pixelSize = size > 0 ? 1 + data[size - 1] % 96 : 16;
    lum::LFontAtlas atlas;
    if (lum::RenderFontAtlas(font, TEXT, pixelSize, atlas)) CheckAtlas(atlas);
  } catch (const kor::ErrorDescription&) {
    std::abort();  // nothing in reading a font or drawing its glyphs raises
  }
  return 0;
}
