// The model loader on arbitrary bytes, in either form: it must answer
// without raising, keep inside its buffers, and hand back a record whose
// arrays match its counts. A binary model it accepts must write and read
// back with the same counts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "kor/CoreServices/Interfaces/IOutputStream.h"
#include "lum/Model/LLoader_Model_Mesh.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

class VectorOutput : public kor::IOutputStream {
 public:
  uint64_t Serialize(const void* buffer, uint64_t size) override {
    const uint8_t* from = static_cast<const uint8_t*>(buffer);
    bytes.insert(bytes.end(), from, from + size);
    return size;
  }
  void Close() override {}
  bool IsOpen() override { return true; }
  kor::UString GetName() override { return kor::UString(); }
  void Flush() override {}
  std::vector<uint8_t> bytes;
};

template <class T>
void Touch(const T* values, uint64_t count) {
  Check(count == 0 || values != nullptr);
  volatile uint8_t sum = 0;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(values);
  for (uint64_t i = 0; i < count * sizeof(T); ++i) sum = sum + bytes[i];
}

void CheckModel(const lum::LData_Model& model, bool binary) {
  Check(model.hasSkeleton == (model.numBones != 0));
  for (int i = 0; i < model.numBones; ++i) Touch(model.bones[i].bounds, lum::MODEL_BOUNDS_NUM);
  for (int j = 0; j < model.numMeshes; ++j) {
    const lum::LModelMesh& mesh = model.meshes[j];
    uint64_t vertices = mesh.numVertices;
    Touch(mesh.positions, 3 * vertices);
    Touch(mesh.normals, 3 * vertices);
    Touch(mesh.texCoords, 2 * vertices * mesh.numTexCoordSets);
    Touch(mesh.triangles, 3 * uint64_t(mesh.numTriangles));
    // The text form may leave the optional weights out.
    if (binary || mesh.weightCounts) Touch(mesh.weightCounts, mesh.numWeights > 0 ? vertices : 0);
    if (binary || mesh.weights) Touch(mesh.weights, mesh.numWeights);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    lum::LLoader_Model_Mesh loader;
    bool binary = size >= 7 && std::memcmp(data, "vxmdl_b", 7) == 0;
    {
      kor::UStream_Memory stream(data, size);
      lum::LData_Model info;
      loader.ReadInfo(stream, info, nullptr);
    }
    kor::UStream_Memory stream(data, size);
    lum::LData_Model model;
    if (!loader.Read(stream, model, nullptr)) return 0;
    CheckModel(model, binary);
    if (!binary) return 0;
    const unsigned char forms[2] = {0, 1};
    for (const unsigned char& form : forms) {
      VectorOutput out;
      Check(loader.Write(out, model, &form));
      if (form != 0) continue;
      kor::UStream_Memory written(out.bytes.data(), out.bytes.size());
      lum::LData_Model copy;
      Check(loader.Read(written, copy, nullptr));
      Check(copy.numBones == model.numBones && copy.numMeshes == model.numMeshes);
    }
  } catch (...) {
    std::abort();
  }
  return 0;
}
