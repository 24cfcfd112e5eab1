// The map record: level geometry as brushes, each a set of convex parts
// bounded by planes, and the entity list. Every array is owned by its
// record; handing a record a new array frees the one it held with all it
// holds.
#pragma once

#include <cstdint>

#include "kor/Utils/UArray.h"
#include "kor/Utils/UBaseString.h"
#include "lum/LData.h"

namespace lum {

// One plane entry of a convex part, in the order of the file's tokens;
// vectorE is not in files and is set to 0, 0, 1.
struct LMapPlane {
  LMapPlane();

  float vectorA[3];
  float valueB;
  float vectorC[3];
  float vectorD[3];
  float vectorE[3];
  kor::UString name;
  int32_t number;
};

class LMapConvex {
 public:
  LMapConvex() : planes(nullptr), numPlanes(0) {}
  LMapConvex(const LMapConvex&) = delete;
  LMapConvex& operator=(const LMapConvex&) = delete;
  ~LMapConvex() noexcept(false) { delete[] planes; }

  // count new planes, replacing the earlier ones.
  void NewPlanes(int count);

  LMapPlane* planes;
  int numPlanes;
};

class LMapBrush {
 public:
  LMapBrush() : convexParts(nullptr), numConvexParts(0) {}
  LMapBrush(const LMapBrush&) = delete;
  LMapBrush& operator=(const LMapBrush&) = delete;
  ~LMapBrush() noexcept(false) { delete[] convexParts; }

  void NewConvexParts(int count);

  LMapConvex* convexParts;
  int numConvexParts;
};

class LMapEntity;

class LData_Map : public LData {
 public:
  // A key and its value; files carry them, but no reader stores them yet.
  struct EntityAttribute {
    kor::UString key;
    kor::UString value;
  };

  LData_Map() : flags(0), brushes(nullptr), numBrushes(0), entities(nullptr), numEntities(0) {}
  ~LData_Map() noexcept(false) override;

  void NewBrushes(int count);
  void NewEntities(int count);

  uint32_t flags;
  LMapBrush* brushes;
  int numBrushes;
  LMapEntity* entities;
  int numEntities;
};

class LMapEntity {
 public:
  kor::UArray<LData_Map::EntityAttribute> attributes;
};

}  // namespace lum
