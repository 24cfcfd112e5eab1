#include "lum/Model/LData_Model.h"

#include <cfloat>

#include "kor/ErrorDescription.h"

namespace lum {

namespace {

void FillBounds(float* bounds) {
  for (int i = 0; i < MODEL_BOUNDS_NUM; ++i) bounds[i] = FLT_MAX;
}

template <class T>
void Replace(T*& held, T* array) {
  if (held == array) return;
  delete[] held;
  held = array;
}

}  // namespace

LModelBone::LModelBone() : bounds(new float[MODEL_BOUNDS_NUM]) {
  FillBounds(bounds);
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) matrix[row][column] = row == column ? 1.0f : 0.0f;
}

LModelBone::~LModelBone() noexcept(false) { delete[] bounds; }

LModelMesh::LModelMesh()
    : numVertices(0),
      numTriangles(0),
      numTexCoordSets(0),
      numWeights(0),
      positions(nullptr),
      normals(nullptr),
      texCoords(nullptr),
      weightCounts(nullptr),
      weights(nullptr),
      triangles(nullptr) {
  FillBounds(bounds);
}

LModelMesh::~LModelMesh() noexcept(false) { ReleaseArrays(); }

void LModelMesh::SetPositions(float* array) { Replace(positions, array); }
void LModelMesh::SetNormals(float* array) { Replace(normals, array); }
void LModelMesh::SetTexCoords(float* array) { Replace(texCoords, array); }
void LModelMesh::SetWeightCounts(uint32_t* array) { Replace(weightCounts, array); }
void LModelMesh::SetWeights(LModelWeight* array) { Replace(weights, array); }
void LModelMesh::SetTriangles(uint32_t* array) { Replace(triangles, array); }

void LModelMesh::ReleaseArrays() {
  SetPositions(nullptr);
  SetNormals(nullptr);
  SetTexCoords(nullptr);
  SetWeightCounts(nullptr);
  SetWeights(nullptr);
  SetTriangles(nullptr);
}

LData_Model::LData_Model() : hasSkeleton(false), meshes(nullptr), numMeshes(0), bones(nullptr), numBones(0) {}

LData_Model::~LData_Model() noexcept(false) {
  delete[] meshes;
  delete[] bones;
}

void LData_Model::NewBones(int count) {
  assure(count >= 0);
  LModelBone* fresh = count > 0 ? new LModelBone[count] : nullptr;
  delete[] bones;
  bones = fresh;
  numBones = count;
}

void LData_Model::NewMeshes(int count) {
  assure(count >= 0);
  LModelMesh* fresh = count > 0 ? new LModelMesh[count] : nullptr;
  delete[] meshes;
  meshes = fresh;
  numMeshes = count;
}

}  // namespace lum
