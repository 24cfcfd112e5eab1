// The model record: skinned triangle meshes and the bones that move them.
// Every array is owned by its record; handing a record a new array frees
// the one it held.
#pragma once

#include <cstdint>

#include "kor/Utils/UBaseString.h"
#include "lum/LData.h"

namespace lum {

// An 18-sided bounding volume ("18dop" in files).
enum { MODEL_BOUNDS_NUM = 18 };

class LModelBone {
 public:
  // Empty names, bounds all at the largest finite float, an identity matrix.
  LModelBone();
  LModelBone(const LModelBone&) = delete;
  LModelBone& operator=(const LModelBone&) = delete;
  ~LModelBone() noexcept(false);

  kor::UString name;
  kor::UString parent;  // empty for a root
  float* bounds;        // MODEL_BOUNDS_NUM values
  // Rows of an affine transformation: files carry the first three values
  // of each row, the fourth column stays 0, 0, 0, 1.
  float matrix[4][4];
};

// One vertex weight: the bone it follows and how strongly.
struct LModelWeight {
  uint32_t bone;
  float weight;
};

class LModelMesh {
 public:
  // Empty names, bounds at the largest finite float, no counts, no arrays.
  LModelMesh();
  LModelMesh(const LModelMesh&) = delete;
  LModelMesh& operator=(const LModelMesh&) = delete;
  ~LModelMesh() noexcept(false);

  // Each takes an array made with new[] and frees the one held before.
  void SetPositions(float* array);
  void SetNormals(float* array);
  void SetTexCoords(float* array);
  void SetWeightCounts(uint32_t* array);
  void SetWeights(LModelWeight* array);
  void SetTriangles(uint32_t* array);
  // Frees every array; the counts stay.
  void ReleaseArrays();

  kor::UString name;
  kor::UString material;
  float bounds[MODEL_BOUNDS_NUM];
  uint32_t numVertices;
  uint32_t numTriangles;
  uint32_t numTexCoordSets;
  uint32_t numWeights;
  float* positions;         // numVertices x (x, y, z)
  float* normals;           // numVertices x (x, y, z)
  float* texCoords;         // numTexCoordSets x numVertices x (u, v)
  uint32_t* weightCounts;   // numVertices: entries of weights per vertex
  LModelWeight* weights;    // numWeights
  uint32_t* triangles;      // numTriangles x 3 vertex indices
};

class LData_Model : public LData {
 public:
  LData_Model();
  ~LData_Model() noexcept(false) override;

  // count new records each, replacing (and freeing) the earlier ones.
  void NewBones(int count);
  void NewMeshes(int count);

  bool hasSkeleton;
  LModelMesh* meshes;
  int numMeshes;
  LModelBone* bones;
  int numBones;
};

}  // namespace lum
