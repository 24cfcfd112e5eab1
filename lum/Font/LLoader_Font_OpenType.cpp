#include "lum/Font/LLoader_Font_OpenType.h"

#include <cstring>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include "kor/ErrorDescription.h"
#include "lum/Font/LFreeTypeFace.h"
#include "lum/Image/LImageWarning.h"
#include "lum/Image/LStreamBytes.h"

namespace lum {

namespace {

// The largest font file read: collections of the largest script fonts
// stay well below it.
const uint64_t LARGEST_FONT_FILE = uint64_t(64) << 20;

bool HasFontSignature(const unsigned char* bytes) {
  static const unsigned char SIGNATURES[4][4] = {{0, 1, 0, 0}, {'O', 'T', 'T', 'O'}, {'t', 'r', 'u', 'e'}, {'t', 't', 'c', 'f'}};
  for (const unsigned char* signature : SIGNATURES)
    if (std::memcmp(bytes, signature, 4) == 0) return true;
  return false;
}

unsigned BigEndian16(const unsigned char* bytes) { return (unsigned(bytes[0]) << 8) | bytes[1]; }

uint32_t BigEndian32(const unsigned char* bytes) { return (uint32_t(BigEndian16(bytes)) << 16) | BigEndian16(bytes + 2); }

// FreeType opens a file cut short: it leaves out the tables that reach
// past its end and works with the rest. Such a file is refused, so the
// count of tables that the first face's header declares is compared with
// the count FreeType kept. -1 when the header itself lies outside.
long DeclaredTableCount(const kor::UArray<unsigned char>& bytes) {
  uint64_t size = uint64_t(bytes.GetNum());
  uint64_t header = 0;
  if (std::memcmp(bytes.GetData(), "ttcf", 4) == 0) {
    if (size < 16) return -1;
    header = BigEndian32(bytes.GetData() + 12);  // the first face's offset
  }
  if (header + 6 > size) return -1;
  return long(BigEndian16(bytes.GetData() + header + 4));
}

bool KeptEveryTable(FT_Face face, const kor::UArray<unsigned char>& bytes) {
  FT_ULong kept = 0;
  if (FT_Sfnt_Table_Info(face, 0, nullptr, &kept) != 0) return false;
  return long(kept) == DeclaredTableCount(bytes);
}

void Refuse(const kor::UString& name, const char* end) { WarnAboutImage("Can't handle file \"", name, end); }

kor::UString TextOrEmpty(const char* text) { return kor::UString(text ? text : ""); }

}  // namespace

bool LLoader_Font_OpenType::ReadInfo(kor::IInputStream& stream, LData_Font& data, const void*) {
  return ReadFont(stream, data, false);
}

bool LLoader_Font_OpenType::Read(kor::IInputStream& stream, LData_Font& data, const void*) {
  return ReadFont(stream, data, true);
}

bool LLoader_Font_OpenType::ReadFont(kor::IInputStream& stream, LData_Font& data, bool keepBytes) {
  KOR_GUARD_BEGIN
  kor::UString name = stream.GetName();
  uint64_t size = stream.GetSize();
  uint64_t position = stream.GetPosition();
  uint64_t remainder = size > position ? size - position : 0;
  if (remainder > LARGEST_FONT_FILE) {
    Refuse(name, "\". The file is too large.");
    return false;
  }
  kor::UArray<unsigned char> bytes;
  if (!ReadStreamRemainder(stream, remainder, bytes)) {
    Refuse(name, "\". It is corrupt.");
    return false;
  }
  if (bytes.GetNum() < 4 || !HasFontSignature(bytes.GetData())) {
    WarnAboutImage("Can't handle \"", name, "\". This is not a font file");
    return false;
  }
  LFreeTypeFace font;
  if (!font.Open(bytes.GetData(), uint64_t(bytes.GetNum())) || !KeptEveryTable(font.Get(), bytes)) {
    Refuse(name, "\". It is corrupt.");
    return false;
  }
  FT_Face face = font.Get();
  // The atlas draws outlines only.
  if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
    Refuse(name, "\". The font has no outlines.");
    return false;
  }
  // The one step that can fail comes first.
  if (keepBytes) data.fileBytes = bytes;
  else data.fileBytes.Empty();
  data.name = name;
  data.family = TextOrEmpty(face->family_name);
  data.style = TextOrEmpty(face->style_name);
  data.faceCount = int32_t(face->num_faces);
  data.glyphCount = int32_t(face->num_glyphs);
  data.unitsPerEm = face->units_per_EM;
  data.ascender = face->ascender;
  data.descender = face->descender;
  data.lineHeight = face->height;
  data.hasKerning = FT_HAS_KERNING(face);
  return true;
  KOR_GUARD_END
}

bool LLoader_Font_OpenType::Write(kor::IOutputStream&, LData_Font&, const void*) { return false; }

bool LLoader_Font_OpenType::CanRead(kor::IInputStream& stream) {
  KOR_GUARD_BEGIN
  unsigned char bytes[4];
  uint64_t got = stream.Serialize(bytes, sizeof bytes);
  stream.SeekBackward(static_cast<int64_t>(got));
  return got == sizeof bytes && HasFontSignature(bytes);
  KOR_GUARD_END
}

bool LLoader_Font_OpenType::CanWrite(int) { return false; }

}  // namespace lum
