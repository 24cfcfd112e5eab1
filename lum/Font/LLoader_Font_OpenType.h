// OpenType and TrueType fonts, and collections of them, read through
// FreeType: the names and metrics of the first face, and the file's bytes
// for drawing its glyphs (LFontAtlas.h). It cannot write.
#pragma once

#include "lum/Font/LData_Font.h"
#include "lum/LLoader.h"

namespace lum {

class LLoader_Font_OpenType : public LLoader_Font {
 public:
  // Reads the whole file, which FreeType needs to find the names, but
  // keeps none of it.
  bool ReadInfo(kor::IInputStream& stream, LData_Font& data, const void* options) override;
  // Also keeps the file's bytes in the record.
  bool Read(kor::IInputStream& stream, LData_Font& data, const void* options) override;
  bool Write(kor::IOutputStream& stream, LData_Font& data, const void* options) override;
  // The first four bytes are 0x00010000, "OTTO", "true" or "ttcf"; the
  // stream is left where it was.
  bool CanRead(kor::IInputStream& stream) override;
  bool CanWrite(int value) override;

 private:
  bool ReadFont(kor::IInputStream& stream, LData_Font& data, bool keepBytes);
};

}  // namespace lum
