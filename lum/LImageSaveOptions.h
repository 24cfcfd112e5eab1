// What an image writer is told besides the record: ten metadata texts and
// the JPEG compression settings.
#pragma once

#include "kor/Utils/UBaseString.h"

namespace lum {

class LImageSaveOptions {
 public:
  enum { TEXT_NUM = 10 };

  LImageSaveOptions();

  // How many texts are set (longer than their terminator alone).
  int CountSetTexts() const;

  // Every set text followed by one zero byte, in field order. GetLength()
  // is the byte count; empty when no text is set.
  kor::UString ConcatenateTexts() const;

  // For every set text: keyword, zero byte, text, zero byte, in field
  // order. GetLength() is the byte count; empty when no text is set.
  kor::UString BuildTextBlock() const;

  // The texts in field order, and the keyword of each.
  const kor::UString& GetText(int index) const;
  static const char* GetKeyword(int index);

  // The libjpeg quality for a compression from 0.0 (best) to 1.0.
  static int JpegQuality(float compression);

  kor::UString title;
  kor::UString author;
  kor::UString description;
  kor::UString copyright;
  kor::UString creationTime;
  kor::UString software;
  kor::UString disclaimer;
  kor::UString warning;
  kor::UString source;
  kor::UString comment;
  float compression;
  bool alphaAsJpeg;
  float alphaCompression;
};

}  // namespace lum
