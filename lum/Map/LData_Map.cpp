#include "lum/Map/LData_Map.h"

#include "kor/ErrorDescription.h"

namespace lum {

namespace {

// count new records for held, freeing the earlier ones after the new are
// made, so that a failed allocation leaves the record as it was.
template <class T>
void Renew(T*& held, int& num, int count) {
  assure(count >= 0);
  T* fresh = count > 0 ? new T[count] : nullptr;
  delete[] held;
  held = fresh;
  num = count;
}

}  // namespace

LMapPlane::LMapPlane()
    : vectorA{0, 0, 0}, valueB(0), vectorC{0, 0, 0}, vectorD{0, 0, 0}, vectorE{0, 0, 1}, number(0) {}

void LMapConvex::NewPlanes(int count) { Renew(planes, numPlanes, count); }

void LMapBrush::NewConvexParts(int count) { Renew(convexParts, numConvexParts, count); }

LData_Map::~LData_Map() noexcept(false) {
  delete[] brushes;
  delete[] entities;
}

void LData_Map::NewBrushes(int count) { Renew(brushes, numBrushes, count); }

void LData_Map::NewEntities(int count) { Renew(entities, numEntities, count); }

}  // namespace lum
