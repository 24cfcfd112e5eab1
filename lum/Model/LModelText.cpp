#include "lum/Model/LModelText.h"

#include "kor/ErrorDescription.h"
#include "kor/Utils/UTextParser.h"
#include "lum/Model/LModelMessages.h"
#include "lum/Model/LModelOutput.h"

namespace lum {

namespace {

typedef kor::UTextParser<kor::TextParserPolicy_ParseStream<unsigned char>> UBlockParser;

// ---------------------------------------------------------------------------
// Reading

// A count of bones or meshes: never negative, and never more than the text
// has tokens (each record has a few of its own), so that a small file
// cannot ask for a huge array.
bool ReadCount(kor::UTextParserCursor& cursor, int& count) {
  cursor.ReadInt(count);
  return count >= 0 && count <= cursor.GetTokenCount();
}

void ReadFloats(kor::UTextParserCursor& cursor, float* values, int count) {
  for (int i = 0; i < count; ++i) cursor.ReadFloat(values[i]);
}

void ReadValue(kor::UTextParserCursor& cursor, float& value) { cursor.ReadFloat(value); }

void ReadValue(kor::UTextParserCursor& cursor, uint32_t& value) {
  int number;
  cursor.ReadInt(number);
  value = static_cast<uint32_t>(number);
}

void ReadValue(kor::UTextParserCursor& cursor, LModelWeight& value) {
  ReadValue(cursor, value.bone);
  cursor.ReadFloat(value.weight);
}

// The block that follows as count values of T (each tokensPerValue
// tokens). False when the block holds fewer tokens than that: it cannot
// hold the array, and nothing is allocated for it.
template <class T>
bool ReadArrayBlock(kor::UTextParserCursor& cursor, uint64_t count, uint64_t tokensPerValue, T*& array) {
  kor::UString inside;
  cursor.ReadToken(inside);
  UBlockParser parser(inside);
  kor::UTextParserCursor& values = parser.GetCursor();
  if (values.IsCutShort() || count * tokensPerValue > static_cast<uint64_t>(values.GetTokenCount())) return false;
  array = count > 0 ? new T[static_cast<size_t>(count)] : nullptr;
  for (uint64_t i = 0; i < count; ++i) ReadValue(values, array[i]);
  return true;
}

bool ReadBoneBlock(const kor::UString& block, LModelBone& bone) {
  UBlockParser parser(block);
  kor::UTextParserCursor& cursor = parser.GetCursor();
  if (cursor.IsCutShort()) return false;
  kor::UString word;
  while (cursor.HasToken()) {
    cursor.ReadToken(word);
    if (word == "name") {
      cursor.ReadToken(bone.name);
    } else if (word == "parent") {
      cursor.ReadToken(bone.parent);
    } else if (word == "18dop") {
      ReadFloats(cursor, bone.bounds, MODEL_BOUNDS_NUM);
    } else if (word == "matrix") {
      for (int row = 0; row < 4; ++row) ReadFloats(cursor, bone.matrix[row], 3);
    }
  }
  return true;
}

// One array block of the mesh; false when it cannot hold its array.
template <class T>
bool ReadMeshArray(kor::UTextParserCursor& cursor, uint64_t count, uint64_t tokensPerValue, LModelMesh& mesh,
                   void (LModelMesh::*set)(T*)) {
  T* array = nullptr;
  if (!ReadArrayBlock(cursor, count, tokensPerValue, array)) return false;
  (mesh.*set)(array);
  return true;
}

// The array blocks a mesh block holds.
struct MeshBlocksSeen {
  bool vertices = false;
  bool normals = false;
  bool texCoords = false;
  bool triangles = false;
};

bool ReadMeshBlock(const kor::UString& block, LModelMesh& mesh, MeshBlocksSeen& seen) {
  UBlockParser parser(block);
  kor::UTextParserCursor& cursor = parser.GetCursor();
  uint64_t vertices = mesh.numVertices;
  kor::UString word;
  bool ok = !cursor.IsCutShort();
  while (ok && cursor.HasToken()) {
    cursor.ReadToken(word);
    if (word == "name") {
      cursor.ReadToken(mesh.name);
    } else if (word == "material") {
      cursor.ReadToken(mesh.material);
    } else if (word == "18dop") {
      ReadFloats(cursor, mesh.bounds, MODEL_BOUNDS_NUM);
    } else if (word == "vertices") {
      ok = seen.vertices = ReadMeshArray(cursor, vertices * 3, 1, mesh, &LModelMesh::SetPositions);
    } else if (word == "normals") {
      ok = seen.normals = ReadMeshArray(cursor, vertices * 3, 1, mesh, &LModelMesh::SetNormals);
    } else if (word == "texCoords") {
      ok = seen.texCoords =
          ReadMeshArray(cursor, mesh.numTexCoordSets * vertices * 2, 1, mesh, &LModelMesh::SetTexCoords);
    } else if (word == "weightCounts") {
      ok = ReadMeshArray(cursor, vertices, 1, mesh, &LModelMesh::SetWeightCounts);
    } else if (word == "weights") {
      ok = ReadMeshArray(cursor, mesh.numWeights, 2, mesh, &LModelMesh::SetWeights);
    } else if (word == "triangles") {
      ok = seen.triangles = ReadMeshArray(cursor, uint64_t(mesh.numTriangles) * 3, 1, mesh, &LModelMesh::SetTriangles);
    }
  }
  return ok;
}

// The blocks the counts call for were all given; a block of no values
// counts as given even though it leaves its array empty.
bool HasRequiredBlocks(const LModelMesh& mesh, const MeshBlocksSeen& seen) {
  if (mesh.numVertices > 0 && (!seen.vertices || !seen.normals)) return false;
  if (mesh.numTexCoordSets > 0 && !seen.texCoords) return false;
  return mesh.numTriangles == 0 || seen.triangles;
}

// Every array that holds values is there to be written. Arrays of no
// values may be absent: a binary file gives none for them.
bool HasArraysToWrite(const LModelMesh& mesh) {
  const uint64_t vertices = mesh.numVertices;
  if (vertices > 0 && (mesh.positions == nullptr || mesh.normals == nullptr)) return false;
  if (mesh.numTexCoordSets * vertices > 0 && mesh.texCoords == nullptr) return false;
  if (mesh.numWeights > 0 && (mesh.weights == nullptr || (vertices > 0 && mesh.weightCounts == nullptr))) return false;
  return mesh.numTriangles == 0 || mesh.triangles != nullptr;
}

// Whether a mesh block of blockLength characters can hold the values the
// counts call for, each value a character and a separator at least. Only
// the counts are kept without reading the arrays, and they must not
// promise more than the file has.
bool MeshBlockCanHold(const int* counts, uint64_t blockLength) {
  const uint64_t vertices = static_cast<uint64_t>(counts[0]);
  const uint64_t values[] = {vertices * 6, uint64_t(counts[1]) * 3, uint64_t(counts[2]) * vertices * 2,
                             uint64_t(counts[3]) * 2};
  for (uint64_t needed : values)
    if (needed > blockLength / 2 + 1) return false;
  return true;
}

// "mesh" i nV nT nS nW { ... }. The counts are checked against the arrays
// in the block that follows, not against the tokens around it. New counts
// make the mesh's earlier arrays meaningless, so they go before the block
// fills it again.
bool ReadMesh(kor::UTextParserCursor& cursor, LData_Model& data, bool infoOnly) {
  int index, counts[4];
  cursor.ReadInt(index);
  bool countsFit = true;
  for (int& count : counts) {
    cursor.ReadInt(count);
    countsFit = countsFit && count >= 0;
  }
  if (index < 0 || index >= data.numMeshes || !countsFit) return false;
  if (infoOnly && !MeshBlockCanHold(counts, static_cast<uint64_t>(cursor.GetTokenLength()))) return false;
  LModelMesh& mesh = data.meshes[index];
  mesh.ReleaseArrays();
  mesh.numVertices = static_cast<uint32_t>(counts[0]);
  mesh.numTriangles = static_cast<uint32_t>(counts[1]);
  mesh.numTexCoordSets = static_cast<uint32_t>(counts[2]);
  mesh.numWeights = static_cast<uint32_t>(counts[3]);
  if (infoOnly) {
    cursor.Skip();
    return true;
  }
  kor::UString block;
  cursor.ReadToken(block);
  MeshBlocksSeen seen;
  return ReadMeshBlock(block, mesh, seen) && HasRequiredBlocks(mesh, seen);
}

bool ReadBone(kor::UTextParserCursor& cursor, LData_Model& data, bool infoOnly) {
  if (infoOnly) {
    cursor.SkipTwo();
    return true;
  }
  int index;
  cursor.ReadInt(index);
  if (index < 0 || index >= data.numBones) return false;
  kor::UString block;
  cursor.ReadToken(block);
  return ReadBoneBlock(block, data.bones[index]);
}

// ---------------------------------------------------------------------------
// Writing

void WriteBounds(LModelOutput& out, const float* bounds) {
  out.WriteText("\t18dop");
  for (int i = 0; i < MODEL_BOUNDS_NUM; ++i) out.Format(" %.4f", static_cast<double>(bounds[i]));
  out.WriteText("\r\n");
}

void WriteBone(LModelOutput& out, const LModelBone& bone, int index) {
  out.Format("bone %d {\r\n", index);
  out.WriteText("\tname \"");
  out.WriteText(bone.name.GetText());
  out.WriteText("\"\r\n\tparent \"");
  out.WriteText(bone.parent.GetText());
  out.WriteText("\"\r\n");
  WriteBounds(out, bone.bounds);
  out.WriteText("\tmatrix");
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 3; ++column) out.Format(" %.4f", static_cast<double>(bone.matrix[row][column]));
  out.WriteText("\r\n}\r\n\r\n");
}

void WriteItem(LModelOutput& out, float value) { out.Format("%.4f", static_cast<double>(value)); }
void WriteItem(LModelOutput& out, uint32_t value) { out.Format("%u", value); }
void WriteItem(LModelOutput& out, const LModelWeight& value) {
  out.Format("%u %.4f", value.bone, static_cast<double>(value.weight));
}

// "\t<keyword> {", lines of perLine values after two tabs, "\t}".
template <class T>
void WriteBlock(LModelOutput& out, const char* keyword, const T* values, uint64_t lines, int perLine) {
  out.Format("\r\n\t%s {\r\n", keyword);
  for (uint64_t line = 0; line < lines; ++line) {
    out.WriteText("\t\t");
    for (int i = 0; i < perLine; ++i) {
      if (i > 0) out.WriteText(" ");
      WriteItem(out, values[line * perLine + i]);
    }
    out.WriteText("\r\n");
  }
  out.WriteText("\t}\r\n");
}

}  // namespace

bool ReadModelText(kor::UTextParserCursor& cursor, const kor::UString& name, LData_Model& data, bool infoOnly) {
  KOR_GUARD_BEGIN
  if (cursor.IsCutShort()) return RefuseModelFile(name, MODEL_DATA_MISSING);
  kor::UString word;
  while (cursor.HasToken()) {
    cursor.ReadToken(word);
    if (word == "version") {
      cursor.ReadToken(word);
      if (word != "1") return RefuseModelFile(name, MODEL_WRONG_VERSION);
    } else if (word == "numBones" || word == "numMeshes") {
      int count;
      if (!ReadCount(cursor, count)) return RefuseModelFile(name, MODEL_DATA_MISSING);
      if (word == "numBones") data.NewBones(count);
      else data.NewMeshes(count);
    } else if (word == "bone") {
      if (!ReadBone(cursor, data, infoOnly)) return RefuseModelFile(name, MODEL_DATA_MISSING);
    } else if (word == "mesh") {
      if (!ReadMesh(cursor, data, infoOnly)) return RefuseModelFile(name, MODEL_DATA_MISSING);
    }
  }
  return true;
  KOR_GUARD_END
}

bool WriteModelText(kor::IOutputStream& stream, const LData_Model& data) {
  KOR_GUARD_BEGIN
  LModelOutput out(stream);
  out.WriteText("signature \"vxmdl_a\"\r\nversion 1\r\n\r\n");
  out.Format("numBones %d\r\n", data.numBones);
  for (int i = 0; i < data.numBones; ++i) WriteBone(out, data.bones[i], i);
  out.Format("numMeshes %d\r\n", data.numMeshes);
  for (int j = 0; j < data.numMeshes; ++j) {
    const LModelMesh& mesh = data.meshes[j];
    if (!HasArraysToWrite(mesh)) return false;
    if (j > 0) out.WriteText("\r\n");
    out.Format("mesh %d %u %u %u %u {\r\n", j, mesh.numVertices, mesh.numTriangles, mesh.numTexCoordSets,
               mesh.numWeights);
    out.WriteText("\tname \"");
    out.WriteText(mesh.name.GetText());
    out.WriteText("\"\r\n\tmaterial \"");
    out.WriteText(mesh.material.GetText());
    out.WriteText("\"\r\n");
    WriteBounds(out, mesh.bounds);
    uint64_t vertices = mesh.numVertices;
    WriteBlock(out, "vertices", mesh.positions, vertices, 3);
    WriteBlock(out, "normals", mesh.normals, vertices, 3);
    if (mesh.numTexCoordSets > 0) WriteBlock(out, "texCoords", mesh.texCoords, mesh.numTexCoordSets * vertices, 2);
    if (mesh.numWeights > 0) {
      WriteBlock(out, "weightCounts", mesh.weightCounts, vertices, 1);
      WriteBlock(out, "weights", mesh.weights, mesh.numWeights, 1);
    }
    WriteBlock(out, "triangles", mesh.triangles, mesh.numTriangles, 3);
    out.WriteText("}\r\n");
  }
  return out.Finish();
  KOR_GUARD_END
}

}  // namespace lum
