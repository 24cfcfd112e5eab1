// The map loader on arbitrary text: it must answer without raising, keep
// inside its buffers and hand back brushes whose parts and planes match
// their counts.
#include <cstdint>
#include <cstdlib>

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "lum/Map/LLoader_Map_Brushes.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckMap(const lum::LData_Map& map) {
  Check(map.flags == 0);
  Check((map.numBrushes == 0) == (map.brushes == nullptr));
  Check((map.numEntities == 0) == (map.entities == nullptr));
  volatile float sum = 0;
  for (int b = 0; b < map.numBrushes; ++b) {
    const lum::LMapBrush& brush = map.brushes[b];
    Check((brush.numConvexParts == 0) == (brush.convexParts == nullptr));
    for (int c = 0; c < brush.numConvexParts; ++c) {
      const lum::LMapConvex& convex = brush.convexParts[c];
      Check((convex.numPlanes == 0) == (convex.planes == nullptr));
      for (int p = 0; p < convex.numPlanes; ++p) {
        const lum::LMapPlane& plane = convex.planes[p];
        sum = sum + plane.vectorA[0] + plane.valueB + plane.vectorD[2] + static_cast<float>(plane.name.GetLength());
        Check(plane.vectorE[2] == 1.0f);
      }
    }
  }
  for (int e = 0; e < map.numEntities; ++e) Check(map.entities[e].attributes.GetNum() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    lum::LLoader_Map_Brushes loader;
    {
      kor::UStream_Memory stream(data, size);
      lum::LData_Map info;
      if (loader.ReadInfo(stream, info, nullptr)) CheckMap(info);
    }
    kor::UStream_Memory stream(data, size);
    lum::LData_Map map;
    if (loader.Read(stream, map, nullptr)) CheckMap(map);
  } catch (...) {
    std::abort();
  }
  return 0;
}
