#include "lum/Model/LModelBinary.h"

#include <climits>
#include <cstring>

#include "kor/ErrorDescription.h"
#include "kor/Utils/UCompressor.h"
#include "lum/Image/LStreamBytes.h"
#include "lum/Model/LModelMessages.h"
#include "lum/Model/LModelOutput.h"

namespace lum {

namespace {

const char BINARY_SIGNATURE[8] = {'v', 'x', 'm', 'd', 'l', '_', 'b', 0};

// Strings hold less than this, terminator included.
const uint32_t LONGEST_STRING = 0x7FFFFF00u;

enum {
  HEADER_BYTES = 12,  // signature, pad, version
  BOUNDS_BYTES = 4 * MODEL_BOUNDS_NUM,
  MATRIX_BYTES = 4 * 12,
  // The least a bone or a mesh can take: empty strings and arrays.
  SMALLEST_BONE = 4 + 4 + 4 + BOUNDS_BYTES + MATRIX_BYTES,
  SMALLEST_MESH = 4 + 16 + 4 + 4 + BOUNDS_BYTES + 3 * 4
};

uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float BitsFloat(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void Decode(const unsigned char* bytes, float& value) { value = BitsFloat(LittleEndian32(bytes)); }
void Decode(const unsigned char* bytes, uint32_t& value) { value = LittleEndian32(bytes); }
void Decode(const unsigned char* bytes, LModelWeight& value) {
  Decode(bytes, value.bone);
  Decode(bytes + 4, value.weight);
}

void Encode(float value, unsigned char* bytes) { PutLittleEndian32(bytes, FloatBits(value)); }
void Encode(uint32_t value, unsigned char* bytes) { PutLittleEndian32(bytes, value); }
void Encode(const LModelWeight& value, unsigned char* bytes) {
  Encode(value.bone, bytes);
  Encode(value.weight, bytes + 4);
}

// ---------------------------------------------------------------------------
// Reading

// The stream with what is left of it in view: nothing is read or allocated
// for more bytes than remain.
class ModelInput {
 public:
  explicit ModelInput(kor::IInputStream& stream) : m_stream(stream) {}

  uint64_t Remaining() {
    uint64_t size = m_stream.GetSize();
    uint64_t position = m_stream.GetPosition();
    return size > position ? size - position : 0;
  }

  bool Read(void* bytes, uint64_t size) { return size <= Remaining() && ReadStreamBytes(m_stream, bytes, size); }

  bool Skip(uint64_t size) {
    if (size > Remaining()) return false;
    m_stream.SeekForward(static_cast<int64_t>(size));
    return true;
  }

  bool ReadUInt32(uint32_t& value) {
    unsigned char bytes[4];
    if (!Read(bytes, sizeof bytes)) return false;
    value = LittleEndian32(bytes);
    return true;
  }

  bool ReadFloats(float* values, int count) {
    unsigned char bytes[4 * MODEL_BOUNDS_NUM];
    assure(count <= MODEL_BOUNDS_NUM);
    if (!Read(bytes, 4u * count)) return false;
    for (int i = 0; i < count; ++i) Decode(bytes + 4 * i, values[i]);
    return true;
  }

  // A length counting the terminating zero, then that many bytes; length
  // 0 is an empty string without storage. Only the bytes before the last
  // are text.
  bool ReadString(kor::UString* text) {
    uint32_t length;
    if (!ReadUInt32(length) || length > Remaining() || length >= LONGEST_STRING) return false;
    if (text == nullptr) return Skip(length);
    if (length == 0) {
      *text = kor::UString();
      return true;
    }
    kor::UArray<unsigned char> bytes(static_cast<int>(length));
    if (!Read(bytes.GetData(), length)) return false;
    *text = kor::UString(reinterpret_cast<const char*>(bytes.GetData()), static_cast<int>(length - 1));
    return true;
  }

  // A count of records each taking at least smallest bytes.
  bool ReadCount(uint32_t smallest, int& count) {
    uint32_t value;
    if (!ReadUInt32(value) || value > INT_MAX || value > Remaining() / smallest) return false;
    count = static_cast<int>(value);
    return true;
  }

 private:
  kor::IInputStream& m_stream;
};

enum ArrayResult { ARRAY_READ, ARRAY_TRUNCATED, ARRAY_BAD_CRC };

// count values of T stored in bytesPerValue bytes each, then the CRC-32 of
// those bytes. The array is handed over only when the CRC matches.
template <class T>
ArrayResult ReadArray(ModelInput& input, uint64_t count, uint64_t bytesPerValue, bool infoOnly, T*& array) {
  array = nullptr;
  uint64_t size = count * bytesPerValue;
  if (size > input.Remaining() || size > LARGEST_IMAGE_BUFFER) return ARRAY_TRUNCATED;
  if (infoOnly) return input.Skip(size + 4) ? ARRAY_READ : ARRAY_TRUNCATED;
  kor::UArray<unsigned char> bytes(static_cast<int>(size));
  uint32_t stored;
  if (!input.Read(bytes.GetData(), size) || !input.ReadUInt32(stored)) return ARRAY_TRUNCATED;
  if (stored != kor::UpdateCrc32(0, bytes.GetData(), static_cast<unsigned>(size))) return ARRAY_BAD_CRC;
  if (count == 0) return ARRAY_READ;
  array = new T[static_cast<size_t>(count)];
  for (uint64_t i = 0; i < count; ++i) Decode(bytes.GetData() + i * bytesPerValue, array[i]);
  return ARRAY_READ;
}

// One array of the mesh; the ending of the message when it fails.
template <class T>
const char* ReadMeshArray(ModelInput& input, uint64_t count, uint64_t bytesPerValue, bool infoOnly,
                          const char* badCrc, LModelMesh& mesh, void (LModelMesh::*set)(T*)) {
  T* array;
  ArrayResult result = ReadArray(input, count, bytesPerValue, infoOnly, array);
  if (result == ARRAY_TRUNCATED) return MODEL_DATA_MISSING;
  if (result == ARRAY_BAD_CRC) return badCrc;
  (mesh.*set)(array);
  return nullptr;
}

// Texture-coordinate values, saturated where sets times vertices would
// not fit any array, so that no size computed from it can wrap.
uint64_t TexCoordValues(const LModelMesh& mesh) {
  uint64_t pairs = uint64_t(mesh.numTexCoordSets) * mesh.numVertices;
  return pairs > LARGEST_IMAGE_BUFFER ? LARGEST_IMAGE_BUFFER + 1 : 2 * pairs;
}

const char* ReadMeshArrays(ModelInput& input, bool infoOnly, LModelMesh& mesh) {
  uint64_t coordinates = uint64_t(mesh.numVertices) * 3;
  const char* failure =
      ReadMeshArray(input, coordinates, 4, infoOnly, MODEL_CRC_POSITIONS, mesh, &LModelMesh::SetPositions);
  if (!failure)
    failure = ReadMeshArray(input, coordinates, 4, infoOnly, MODEL_CRC_NORMALS, mesh, &LModelMesh::SetNormals);
  if (!failure && mesh.numTexCoordSets > 0)
    failure = ReadMeshArray(input, TexCoordValues(mesh), 4, infoOnly, MODEL_CRC_TEXCOORDS, mesh,
                            &LModelMesh::SetTexCoords);
  if (!failure && mesh.numWeights > 0) {
    failure = ReadMeshArray(input, mesh.numVertices, 4, infoOnly, MODEL_CRC_WEIGHT_COUNTS, mesh,
                            &LModelMesh::SetWeightCounts);
    if (!failure)
      failure = ReadMeshArray(input, mesh.numWeights, 8, infoOnly, MODEL_CRC_WEIGHTS, mesh, &LModelMesh::SetWeights);
  }
  if (!failure)
    failure = ReadMeshArray(input, uint64_t(mesh.numTriangles) * 3, 4, infoOnly, MODEL_CRC_TRIANGLES, mesh,
                            &LModelMesh::SetTriangles);
  return failure;
}

bool ReadBone(ModelInput& input, bool infoOnly, LModelBone& bone) {
  if (!input.Skip(4)) return false;  // the stored index: bones come in file order
  if (infoOnly) return input.ReadString(nullptr) && input.ReadString(nullptr) && input.Skip(BOUNDS_BYTES + MATRIX_BYTES);
  if (!input.ReadString(&bone.name) || !input.ReadString(&bone.parent)) return false;
  if (!input.ReadFloats(bone.bounds, MODEL_BOUNDS_NUM)) return false;
  for (int row = 0; row < 4; ++row)
    if (!input.ReadFloats(bone.matrix[row], 3)) return false;
  return true;
}

const char* ReadMesh(ModelInput& input, bool infoOnly, LModelMesh& mesh) {
  uint32_t counts[4];
  if (!input.Skip(4)) return MODEL_DATA_MISSING;  // the stored index
  for (uint32_t& count : counts)
    if (!input.ReadUInt32(count)) return MODEL_DATA_MISSING;
  mesh.ReleaseArrays();
  mesh.numVertices = counts[0];
  mesh.numTriangles = counts[1];
  mesh.numTexCoordSets = counts[2];
  mesh.numWeights = counts[3];
  bool strings = infoOnly ? input.ReadString(nullptr) && input.ReadString(nullptr)
                          : input.ReadString(&mesh.name) && input.ReadString(&mesh.material);
  bool bounds = strings && (infoOnly ? input.Skip(BOUNDS_BYTES) : input.ReadFloats(mesh.bounds, MODEL_BOUNDS_NUM));
  if (!bounds) return MODEL_DATA_MISSING;
  return ReadMeshArrays(input, infoOnly, mesh);
}

// ---------------------------------------------------------------------------
// Writing

void WriteString(LModelOutput& out, const kor::UString& text) {
  out.WriteUInt32(static_cast<uint32_t>(text.GetNum()));
  out.Write(text.GetData(), static_cast<uint64_t>(text.GetNum()));
}

void WriteFloats(LModelOutput& out, const float* values, int count) {
  for (int i = 0; i < count; ++i) out.WriteUInt32(FloatBits(values[i]));
}

// The array's bytes, then their CRC-32. False when the array is missing
// or too large for one transfer.
template <class T>
bool WriteArray(LModelOutput& out, const T* values, uint64_t count, uint64_t bytesPerValue) {
  uint64_t size = count * bytesPerValue;
  if ((count > 0 && values == nullptr) || size > LARGEST_IMAGE_BUFFER) return false;
  kor::UArray<unsigned char> bytes(static_cast<int>(size));
  for (uint64_t i = 0; i < count; ++i) Encode(values[i], bytes.GetData() + i * bytesPerValue);
  out.Write(bytes.GetData(), size);
  out.WriteUInt32(kor::UpdateCrc32(0, bytes.GetData(), static_cast<unsigned>(size)));
  return true;
}

void WriteBone(LModelOutput& out, const LModelBone& bone, int index) {
  out.WriteUInt32(static_cast<uint32_t>(index));
  WriteString(out, bone.name);
  WriteString(out, bone.parent);
  WriteFloats(out, bone.bounds, MODEL_BOUNDS_NUM);
  for (int row = 0; row < 4; ++row) WriteFloats(out, bone.matrix[row], 3);
}

bool WriteMesh(LModelOutput& out, const LModelMesh& mesh, int index) {
  uint32_t head[5] = {static_cast<uint32_t>(index), mesh.numVertices, mesh.numTriangles, mesh.numTexCoordSets,
                      mesh.numWeights};
  for (uint32_t value : head) out.WriteUInt32(value);
  WriteString(out, mesh.name);
  WriteString(out, mesh.material);
  WriteFloats(out, mesh.bounds, MODEL_BOUNDS_NUM);
  uint64_t vertices = mesh.numVertices;
  if (!WriteArray(out, mesh.positions, vertices * 3, 4) || !WriteArray(out, mesh.normals, vertices * 3, 4))
    return false;
  if (mesh.numTexCoordSets > 0 && !WriteArray(out, mesh.texCoords, TexCoordValues(mesh), 4))
    return false;
  if (mesh.numWeights > 0 &&
      (!WriteArray(out, mesh.weightCounts, vertices, 4) || !WriteArray(out, mesh.weights, mesh.numWeights, 8)))
    return false;
  return WriteArray(out, mesh.triangles, uint64_t(mesh.numTriangles) * 3, 4);
}

}  // namespace

bool ReadModelBinary(kor::IInputStream& stream, const kor::UString& name, LData_Model& data, bool infoOnly) {
  KOR_GUARD_BEGIN
  ModelInput input(stream);
  int count;
  // The version is not examined: every binary file so far is version 1.
  if (!input.Skip(HEADER_BYTES) || !input.ReadCount(SMALLEST_BONE, count))
    return RefuseModelFile(name, MODEL_DATA_MISSING);
  data.NewBones(count);
  for (int i = 0; i < data.numBones; ++i)
    if (!ReadBone(input, infoOnly, data.bones[i])) return RefuseModelFile(name, MODEL_DATA_MISSING);
  if (!input.ReadCount(SMALLEST_MESH, count)) return RefuseModelFile(name, MODEL_DATA_MISSING);
  data.NewMeshes(count);
  for (int j = 0; j < data.numMeshes; ++j) {
    const char* failure = ReadMesh(input, infoOnly, data.meshes[j]);
    if (failure) return RefuseModelFile(name, failure);
  }
  return true;
  KOR_GUARD_END
}

bool WriteModelBinary(kor::IOutputStream& stream, const LData_Model& data) {
  KOR_GUARD_BEGIN
  LModelOutput out(stream);
  out.Write(BINARY_SIGNATURE, sizeof BINARY_SIGNATURE);
  out.WriteUInt32(1);
  out.WriteUInt32(static_cast<uint32_t>(data.numBones));
  for (int i = 0; i < data.numBones; ++i) WriteBone(out, data.bones[i], i);
  out.WriteUInt32(static_cast<uint32_t>(data.numMeshes));
  for (int j = 0; j < data.numMeshes; ++j)
    if (!WriteMesh(out, data.meshes[j], j)) return false;
  return out.Finish();
  KOR_GUARD_END
}

}  // namespace lum
