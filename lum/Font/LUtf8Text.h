// The characters of a UTF-8 text. A byte that does not begin a well-formed
// sequence (a stray continuation byte, a sequence cut short, an overlong
// form, a surrogate or a value beyond U+10FFFF) stands for U+FFFD, the
// replacement character, and decoding goes on at the byte after it.
#pragma once

#include <cstdint>

#include "kor/Utils/UArray.h"

namespace lum {

const uint32_t REPLACEMENT_CHARACTER = 0xFFFD;

// Appends the characters of the zero-terminated text.
void DecodeUtf8(const char* text, kor::UArray<uint32_t>& characters);

}  // namespace lum
