#include "lum/Font/LUtf8Text.h"

namespace lum {

namespace {

// The length of the well-formed sequence at bytes and its character, or
// 0 when there is none. The bounds of the second byte rule out overlong
// forms, surrogates and values beyond U+10FFFF, as the standard's table of
// well-formed sequences does.
int DecodeSequence(const unsigned char* bytes, uint32_t& character) {
  unsigned lead = bytes[0];
  if (lead < 0x80) {
    character = lead;
    return 1;
  }
  int length;
  unsigned low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  else return 0;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  character = lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    // A zero terminator fails this test, so nothing is read past it.
    unsigned next = bytes[i];
    if (next < low || next > high) return 0;
    low = 0x80;
    high = 0xBF;
    character = (character << 6) | (next & 0x3F);
  }
  return length;
}

}  // namespace

void DecodeUtf8(const char* text, kor::UArray<uint32_t>& characters) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  while (*bytes != 0) {
    uint32_t character = 0;
    int length = DecodeSequence(bytes, character);
    characters.Add(length > 0 ? character : REPLACEMENT_CHARACTER);
    bytes += length > 0 ? length : 1;
  }
}

}  // namespace lum
