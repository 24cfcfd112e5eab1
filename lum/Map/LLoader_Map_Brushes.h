// The map loader: convex-brush level geometry from text files whose first
// tokens are signature "vxmap". It cannot write.
#pragma once

#include "lum/LLoader.h"
#include "lum/Map/LData_Map.h"

namespace lum {

class LLoader_Map_Brushes : public LLoader_Map {
 public:
  // The brush and entity counts, with empty records.
  bool ReadInfo(kor::IInputStream& stream, LData_Map& data, const void* options) override;
  // Brushes with their convex parts and planes; entities stay empty.
  bool Read(kor::IInputStream& stream, LData_Map& data, const void* options) override;
  bool Write(kor::IOutputStream& stream, LData_Map& data, const void* options) override;
  // The signature tokens; the stream is left where it was.
  bool CanRead(kor::IInputStream& stream) override;
  bool CanWrite(int value) override;
};

}  // namespace lum
