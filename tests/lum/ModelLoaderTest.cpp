// The model loader in both forms: what a write reads back as, the layout
// of each form, the messages, and files that lie about their sizes,
// indices and checksums.
#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ModelMapTestSupport.h"
#include "lum/LLoader.h"
#include "lum/Model/LLoader_Model_Mesh.h"

namespace {

using lum::LData_Model;
using lum::LModelBone;
using lum::LModelMesh;
using lum::LModelWeight;

const unsigned char TEXT_FORM = 1;
const unsigned char BINARY_FORM = 0;

template <class T>
T* NewArray(const std::vector<T>& values) {
  T* array = new T[values.size()];
  std::copy(values.begin(), values.end(), array);
  return array;
}

// Values with more than four decimals, distinct enough to be found in a file.
float Value(int seed) { return 0.123456f * static_cast<float>(seed) - 3.0f; }

std::vector<float> Values(int first, int count) {
  std::vector<float> values;
  for (int i = 0; i < count; ++i) values.push_back(Value(first + i));
  return values;
}

// Two bones; a skinned mesh with two texture-coordinate sets and a plain
// mesh without sets or weights.
void FillModel(LData_Model& model) {
  model.NewBones(2);
  model.bones[0].name = "root";
  model.bones[1].name = "arm";
  model.bones[1].parent = "root";
  for (int b = 0; b < 2; ++b) {
    for (int i = 0; i < lum::MODEL_BOUNDS_NUM; ++i) model.bones[b].bounds[i] = Value(100 * b + i);
    for (int row = 0; row < 4; ++row)
      for (int column = 0; column < 3; ++column) model.bones[b].matrix[row][column] = Value(50 + 10 * b + 3 * row + column);
  }
  model.NewMeshes(2);
  LModelMesh& skinned = model.meshes[0];
  skinned.name = "body";
  skinned.material = "skin";
  skinned.numVertices = 3;
  skinned.numTriangles = 1;
  skinned.numTexCoordSets = 2;
  skinned.numWeights = 4;
  for (int i = 0; i < lum::MODEL_BOUNDS_NUM; ++i) skinned.bounds[i] = Value(200 + i);
  skinned.SetPositions(NewArray(Values(300, 9)));
  skinned.SetNormals(NewArray(Values(400, 9)));
  skinned.SetTexCoords(NewArray(Values(500, 12)));
  skinned.SetWeightCounts(NewArray(std::vector<uint32_t>{1, 2, 1}));
  skinned.SetWeights(NewArray(std::vector<LModelWeight>{{0, 1.0f}, {0, 0.25f}, {1, 0.75f}, {1, 1.0f}}));
  skinned.SetTriangles(NewArray(std::vector<uint32_t>{0, 1, 2}));
  LModelMesh& plain = model.meshes[1];
  plain.material = "plain";
  plain.numVertices = 4;
  plain.numTriangles = 2;
  plain.SetPositions(NewArray(Values(600, 12)));
  plain.SetNormals(NewArray(Values(700, 12)));
  plain.SetTriangles(NewArray(std::vector<uint32_t>{0, 1, 2, 2, 3, 0}));
}

// What a value reads back as from the text form.
float Rounded(float value, bool text) {
  if (!text) return value;
  char printed[64];
  std::snprintf(printed, sizeof printed, "%.4f", static_cast<double>(value));
  return std::strtof(printed, nullptr);
}

void ExpectFloats(const float* expected, const float* actual, size_t count, bool text, const char* what) {
  ASSERT_TRUE(actual != nullptr) << what;
  for (size_t i = 0; i < count; ++i) EXPECT_EQ(Rounded(expected[i], text), actual[i]) << what << " " << i;
}

void ExpectSameMesh(const LModelMesh& a, const LModelMesh& b, bool text) {
  EXPECT_STREQ(a.name.GetText(), b.name.GetText());
  EXPECT_STREQ(a.material.GetText(), b.material.GetText());
  ASSERT_EQ(a.numVertices, b.numVertices);
  ASSERT_EQ(a.numTriangles, b.numTriangles);
  ASSERT_EQ(a.numTexCoordSets, b.numTexCoordSets);
  ASSERT_EQ(a.numWeights, b.numWeights);
  ExpectFloats(a.bounds, b.bounds, lum::MODEL_BOUNDS_NUM, text, "mesh bounds");
  ExpectFloats(a.positions, b.positions, 3 * a.numVertices, text, "positions");
  ExpectFloats(a.normals, b.normals, 3 * a.numVertices, text, "normals");
  if (a.numTexCoordSets > 0) ExpectFloats(a.texCoords, b.texCoords, 2 * a.numTexCoordSets * a.numVertices, text, "uv");
  else EXPECT_EQ(nullptr, b.texCoords);
  if (a.numWeights > 0) {
    ASSERT_TRUE(b.weightCounts && b.weights);
    for (uint32_t v = 0; v < a.numVertices; ++v) EXPECT_EQ(a.weightCounts[v], b.weightCounts[v]);
    for (uint32_t w = 0; w < a.numWeights; ++w) {
      EXPECT_EQ(a.weights[w].bone, b.weights[w].bone);
      EXPECT_EQ(Rounded(a.weights[w].weight, text), b.weights[w].weight);
    }
  } else {
    EXPECT_EQ(nullptr, b.weights);
  }
  ASSERT_TRUE(b.triangles != nullptr);
  for (uint32_t i = 0; i < 3 * a.numTriangles; ++i) EXPECT_EQ(a.triangles[i], b.triangles[i]);
}

void ExpectSameModel(const LData_Model& a, const LData_Model& b, bool text) {
  ASSERT_EQ(a.numBones, b.numBones);
  ASSERT_EQ(a.numMeshes, b.numMeshes);
  EXPECT_EQ(a.numBones != 0, b.hasSkeleton);
  for (int i = 0; i < a.numBones; ++i) {
    EXPECT_STREQ(a.bones[i].name.GetText(), b.bones[i].name.GetText());
    EXPECT_STREQ(a.bones[i].parent.GetText(), b.bones[i].parent.GetText());
    ExpectFloats(a.bones[i].bounds, b.bones[i].bounds, lum::MODEL_BOUNDS_NUM, text, "bone bounds");
    for (int row = 0; row < 4; ++row) {
      ExpectFloats(a.bones[i].matrix[row], b.bones[i].matrix[row], 3, text, "matrix");
      // Files carry no fourth column: it is that of an affine matrix.
      EXPECT_EQ(row == 3 ? 1.0f : 0.0f, b.bones[i].matrix[row][3]);
    }
  }
  for (int j = 0; j < a.numMeshes; ++j) ExpectSameMesh(a.meshes[j], b.meshes[j], text);
}

Bytes LittleEndian(const std::vector<uint32_t>& words) {
  Bytes bytes;
  for (uint32_t word : words)
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(word >> (8 * i)));
  return bytes;
}

Bytes LittleEndian(const std::vector<float>& values) {
  std::vector<uint32_t> words(values.size());
  std::memcpy(words.data(), values.data(), 4 * values.size());
  return LittleEndian(words);
}

class ModelFiles : public LoaderFixture {
 protected:
  Bytes Written(const LData_Model& model, unsigned char form) {
    CollectingOutput out;
    EXPECT_TRUE(loader.Write(out, const_cast<LData_Model&>(model), &form));
    return out.bytes;
  }

  Bytes Written(unsigned char form) {
    LData_Model model;
    FillModel(model);
    return Written(model, form);
  }

  bool Read(const Bytes& file, LData_Model& model, bool infoOnly = false) {
    NamedInput stream(file, "model");
    return infoOnly ? loader.ReadInfo(stream, model, nullptr) : loader.Read(stream, model, nullptr);
  }

  // Reads a text model; the messages it gave.
  std::string ReadText(const std::string& text, bool expected) {
    LData_Model model;
    EXPECT_EQ(expected, Read(ToBytes(text), model)) << text;
    return TakeMessages();
  }

  // Held by pointer: a loader's destructor may raise, the fixture's may not.
  std::unique_ptr<lum::LLoader_Model_Mesh> m_loader{new lum::LLoader_Model_Mesh};
  lum::LLoader_Model_Mesh& loader = *m_loader;
};

const std::string TEXT_HEAD = "signature \"vxmdl_a\"\r\nversion 1\r\n\r\n";

}  // namespace

TEST_F(ModelFiles, WrittenModelsReadBackInBothForms) {
  LData_Model original;
  FillModel(original);
  for (unsigned char form : {BINARY_FORM, TEXT_FORM}) {
    Bytes file = Written(original, form);
    LData_Model copy;
    ASSERT_TRUE(Read(file, copy)) << int(form);
    ExpectSameModel(original, copy, form == TEXT_FORM);

    LData_Model info;
    ASSERT_TRUE(Read(file, info, true));
    ASSERT_EQ(2, info.numBones);
    ASSERT_EQ(2, info.numMeshes);
    EXPECT_TRUE(info.hasSkeleton);
    EXPECT_EQ(3u, info.meshes[0].numVertices);
    EXPECT_EQ(4u, info.meshes[0].numWeights);
    EXPECT_EQ(2u, info.meshes[1].numTriangles);
    EXPECT_EQ(nullptr, info.meshes[0].positions);
    EXPECT_STREQ("", info.bones[1].name.GetText());
    EXPECT_EQ(FLT_MAX, info.meshes[1].bounds[0]);
  }
  EXPECT_EQ("", TakeMessages());
}

// Sets and weights over no vertices: arrays of no values, which a binary
// file leaves out, still carry their counts through both forms.
TEST_F(ModelFiles, MeshWithoutVerticesTravelsThroughBothForms) {
  LData_Model original;
  original.NewMeshes(1);
  LModelMesh& mesh = original.meshes[0];
  mesh.numTexCoordSets = 2;
  mesh.numWeights = 1;
  mesh.SetWeights(NewArray(std::vector<LModelWeight>{{0, 0.5f}}));
  LData_Model fromBinary;
  ASSERT_TRUE(Read(Written(original, BINARY_FORM), fromBinary));
  ASSERT_EQ(nullptr, fromBinary.meshes[0].texCoords);
  LData_Model fromText;
  ASSERT_TRUE(Read(Written(fromBinary, TEXT_FORM), fromText));
  EXPECT_EQ(2u, fromText.meshes[0].numTexCoordSets);
  EXPECT_EQ(1u, fromText.meshes[0].numWeights);
  EXPECT_EQ(0.5f, fromText.meshes[0].weights[0].weight);
  // A block the counts call for must still be there, even when empty.
  ReadText(TEXT_HEAD + "numMeshes 1 mesh 0 0 0 2 0 { texCoords { } }", true);
  EXPECT_EQ(CantHandle("model", "\". Some data is missing or corrupt."),
            ReadText(TEXT_HEAD + "numMeshes 1 mesh 0 0 0 2 0 { }", false));
  EXPECT_EQ("", TakeMessages());
}

// Every count of a mesh is far above the few tokens around its block.
TEST_F(ModelFiles, ThousandVertexModelTravelsThroughBothForms) {
  const uint32_t vertices = 1000;
  LData_Model original;
  original.NewMeshes(1);
  LModelMesh& mesh = original.meshes[0];
  mesh.numVertices = vertices;
  mesh.numTriangles = vertices - 2;
  mesh.numTexCoordSets = 1;
  mesh.numWeights = vertices;
  mesh.SetPositions(NewArray(Values(1, 3 * vertices)));
  mesh.SetNormals(NewArray(Values(5000, 3 * vertices)));
  mesh.SetTexCoords(NewArray(Values(9000, 2 * vertices)));
  mesh.SetWeightCounts(NewArray(std::vector<uint32_t>(vertices, 1)));
  mesh.SetWeights(NewArray(std::vector<LModelWeight>(vertices, LModelWeight{0, 0.5f})));
  std::vector<uint32_t> triangles;
  for (uint32_t t = 0; t + 2 < vertices; ++t) triangles.insert(triangles.end(), {t, t + 1, t + 2});
  mesh.SetTriangles(NewArray(triangles));
  LData_Model fromText;
  ASSERT_TRUE(Read(Written(original, TEXT_FORM), fromText));
  ExpectSameModel(original, fromText, true);
  LData_Model info;
  ASSERT_TRUE(Read(Written(original, TEXT_FORM), info, true));
  EXPECT_EQ(vertices, info.meshes[0].numVertices);
  LData_Model fromBinary;
  ASSERT_TRUE(Read(Written(fromText, BINARY_FORM), fromBinary));
  ExpectSameModel(fromText, fromBinary, false);
  EXPECT_EQ("", TakeMessages());
  // Counts the block cannot hold are refused by ReadInfo as well.
  for (bool infoOnly : {false, true}) {
    LData_Model model;
    EXPECT_FALSE(Read(ToBytes(TEXT_HEAD + "numMeshes 1 mesh 0 5000 0 0 0 { vertices { 1 2 3 } }"), model, infoOnly));
    EXPECT_EQ(CantHandle("model", "\". Some data is missing or corrupt."), TakeMessages());
  }
}

// A text the tokenizer gave up on is no model, wherever the trouble is.
TEST_F(ModelFiles, TextCutShortByTheTokenizerIsRefused) {
  std::string deep = std::string(2000, '{') + std::string(2000, '}');
  for (const std::string& text : {TEXT_HEAD + "numMeshes 1 " + deep,
                                  TEXT_HEAD + "numBones 1 bone 0 { " + deep + " }",
                                  TEXT_HEAD + "numMeshes 1 mesh 0 0 0 0 0 { name " + deep + " }"}) {
    Bytes file = ToBytes(text);
    NamedInput stream(file, "model");
    EXPECT_FALSE(loader.CanRead(stream));
    LData_Model model;
    EXPECT_FALSE(Read(file, model));
    std::string messages = TakeMessages();
    EXPECT_NE(std::string::npos, messages.find("Text nests blocks too deeply")) << messages;
    EXPECT_NE(std::string::npos, messages.find(CantHandle("model", "\". Some data is missing or corrupt."))) << messages;
  }
}

TEST_F(ModelFiles, TextFormLayout) {
  LData_Model model;
  model.NewBones(1);
  model.bones[0].name = "b";
  for (int i = 0; i < lum::MODEL_BOUNDS_NUM; ++i) model.bones[0].bounds[i] = float(i);
  model.NewMeshes(1);
  LModelMesh& mesh = model.meshes[0];
  mesh.name = "m";
  mesh.numVertices = 1;
  mesh.numTriangles = 1;
  mesh.numTexCoordSets = 1;
  mesh.numWeights = 1;
  for (float& bound : mesh.bounds) bound = 0.5f;
  mesh.SetPositions(NewArray(std::vector<float>{1, 2, 3}));
  mesh.SetNormals(NewArray(std::vector<float>{0, 0, -1}));
  mesh.SetTexCoords(NewArray(std::vector<float>{0.25f, 0.125f}));
  mesh.SetWeightCounts(NewArray(std::vector<uint32_t>{1}));
  mesh.SetWeights(NewArray(std::vector<LModelWeight>{{0, 1}}));
  mesh.SetTriangles(NewArray(std::vector<uint32_t>{0, 0, 0}));
  std::string bounds, half;
  for (int i = 0; i < 18; ++i) bounds += " " + std::to_string(i) + ".0000";
  for (int i = 0; i < 18; ++i) half += " 0.5000";
  std::string expected = TEXT_HEAD + "numBones 1\r\nbone 0 {\r\n\tname \"b\"\r\n\tparent \"\"\r\n\t18dop" + bounds +
                         "\r\n\tmatrix 1.0000 0.0000 0.0000 0.0000 1.0000 0.0000 0.0000 0.0000 1.0000 0.0000 0.0000 "
                         "0.0000\r\n}\r\n\r\nnumMeshes 1\r\nmesh 0 1 1 1 1 {\r\n\tname \"m\"\r\n\tmaterial \"\"\r\n\t18dop" +
                         half + "\r\n\r\n\tvertices {\r\n\t\t1.0000 2.0000 3.0000\r\n\t}\r\n\r\n\tnormals {\r\n"
                         "\t\t0.0000 0.0000 -1.0000\r\n\t}\r\n\r\n\ttexCoords {\r\n\t\t0.2500 0.1250\r\n\t}\r\n\r\n"
                         "\tweightCounts {\r\n\t\t1\r\n\t}\r\n\r\n\tweights {\r\n\t\t0 1.0000\r\n\t}\r\n\r\n"
                         "\ttriangles {\r\n\t\t0 0 0\r\n\t}\r\n}\r\n";
  Bytes file = Written(model, TEXT_FORM);
  EXPECT_EQ(expected, std::string(file.begin(), file.end()));

  LData_Model empty;
  file = Written(empty, TEXT_FORM);
  EXPECT_EQ(TEXT_HEAD + "numBones 0\r\nnumMeshes 0\r\n", std::string(file.begin(), file.end()));
}

TEST_F(ModelFiles, BinaryMeshWithoutSetsOrWeightsCarriesThreeArrays) {
  LData_Model model;
  model.NewMeshes(1);
  LModelMesh& mesh = model.meshes[0];
  mesh.name = "m";
  mesh.numVertices = 2;
  mesh.numTriangles = 1;
  std::vector<float> positions = Values(1, 6), normals = Values(10, 6);
  mesh.SetPositions(NewArray(positions));
  mesh.SetNormals(NewArray(normals));
  mesh.SetTriangles(NewArray(std::vector<uint32_t>{0, 1, 1}));
  Bytes file = Written(model, BINARY_FORM);
  Bytes head = {'v', 'x', 'm', 'd', 'l', '_', 'b', 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  ASSERT_TRUE(std::equal(head.begin(), head.end(), file.begin()));
  // Index and counts, name "m" with its zero, the empty material without
  // storage, bounds, then three arrays each with its CRC.
  size_t meshStart = head.size();
  EXPECT_EQ(LittleEndian(std::vector<uint32_t>{0, 2, 1, 0, 0, 2}), Bytes(file.begin() + meshStart, file.begin() + meshStart + 24));
  EXPECT_EQ(Bytes({'m', 0, 0, 0, 0, 0}), Bytes(file.begin() + meshStart + 24, file.begin() + meshStart + 30));
  size_t arrays = meshStart + 30 + 72;
  EXPECT_EQ(arrays + (24 + 4) + (24 + 4) + (12 + 4), file.size());
  EXPECT_EQ(LittleEndian(positions), Bytes(file.begin() + arrays, file.begin() + arrays + 24));
  EXPECT_EQ(LittleEndian(normals), Bytes(file.begin() + arrays + 28, file.begin() + arrays + 52));

  LData_Model copy;
  ASSERT_TRUE(Read(file, copy));
  EXPECT_FALSE(copy.hasSkeleton);
  ExpectSameModel(model, copy, false);
}

TEST_F(ModelFiles, FlippedByteInEachBinaryArrayNamesThatArray) {
  struct Case {
    std::vector<unsigned char> bytes;
    const char* ending;
  };
  LData_Model model;
  FillModel(model);
  const LModelMesh& mesh = model.meshes[0];
  const Case cases[] = {
      {LittleEndian(std::vector<float>(mesh.positions, mesh.positions + 9)), "\". CRCs don't match (for vertex positions)."},
      {LittleEndian(std::vector<float>(mesh.normals, mesh.normals + 9)), "\". CRCs don't match (for vertex normals)."},
      {LittleEndian(std::vector<float>(mesh.texCoords, mesh.texCoords + 12)), "\". CRCs don't match (for texture coordinates)."},
      {LittleEndian(std::vector<uint32_t>{1, 2, 1}), "\". CRCs don't match (for vertex weight counts)."},
      {LittleEndian(std::vector<uint32_t>{0, 0x3F800000, 0, 0x3E800000}), "\". CRCs don't match (for weights)."},
      {LittleEndian(std::vector<uint32_t>{0, 1, 2}), "\". CRCs don't match (for triangle indices)."}};
  Bytes file = Written(model, BINARY_FORM);
  auto from = file.begin();
  bool first = true;
  for (const Case& c : cases) {
    auto at = std::search(from, file.end(), c.bytes.begin(), c.bytes.end());
    ASSERT_NE(file.end(), at) << c.ending;
    from = at + c.bytes.size();
    Bytes flipped = file;
    flipped[(at - file.begin()) + c.bytes.size() / 2] ^= 0x10;
    LData_Model copy;
    EXPECT_FALSE(Read(flipped, copy));
    EXPECT_EQ(CantHandle("model", c.ending), TakeMessages());
    // The arrays before the damaged one were accepted.
    EXPECT_EQ(first, copy.meshes[0].positions == nullptr) << c.ending;
    first = false;
  }
}

TEST_F(ModelFiles, TextSignatureVersionAndMissingBlocks) {
  EXPECT_EQ(CantHandle("model", "\". Wrong file version information."),
            ReadText("signature \"vxmdl_a\" version 2 numBones 0", false));
  EXPECT_EQ(CantHandle("model", "\". Wrong file version information."),
            ReadText("signature \"vxmdl_a\" version 1.0", false));
  EXPECT_EQ(CantHandle("model", "\". Wrong file signature."), ReadText("signature \"vxmdl_b\" version 1", false));
  EXPECT_EQ("", ReadText("signature \"vxmdl_a\" version 1", true));

  const char* missing[] = {
      "mesh 0 1 0 0 0 { vertices { 1 2 3 } }",
      "mesh 0 1 0 1 0 { vertices { 1 2 3 } normals { 1 2 3 } }",
      "mesh 0 0 1 0 0 { }"};
  for (const char* mesh : missing)
    EXPECT_EQ(CantHandle("model", "\". Some data is missing or corrupt."),
              ReadText(TEXT_HEAD + "numMeshes 1 " + mesh, false));
  // Weights are optional, and tokens the reader does not know are skipped.
  EXPECT_EQ("", ReadText(TEXT_HEAD + "numMeshes 1 extra mesh 0 1 1 0 1 { vertices { 1 2 3 } normals { 0 0 1 } "
                                     "unknown { x } triangles { 0 0 0 } } trailing",
                         true));

  LData_Model model;
  ASSERT_TRUE(Read(ToBytes(TEXT_HEAD + "numBones 0 numMeshes 1 mesh 0 0 0 0 0 { name \"n\" }"), model));
  EXPECT_FALSE(model.hasSkeleton);
  EXPECT_STREQ("n", model.meshes[0].name.GetText());
}

TEST_F(ModelFiles, BadTextIndicesAndCountsAreRefused) {
  const char* files[] = {
      "numBones 2 bone 2 { name \"x\" }",
      "numBones 1 bone -1 { }",
      "bone 0 { }",
      "numMeshes 1 mesh 1 0 0 0 0 { }",
      "numBones -1",
      "numMeshes 99999",
      // More values than the blocks hold.
      "numMeshes 1 mesh 0 2 0 0 0 { vertices { 1 2 3 } normals { 1 2 3 } }",
      "numMeshes 1 mesh 0 -1 0 0 0 { }",
      "numMeshes 1 mesh 0 0 2 0 0 { triangles { 0 0 0 } }",
      "numMeshes 1 mesh 0 1 0 0 3 { vertices { 1 2 3 } normals { 1 2 3 } weights { 0 1 0 } }",
  };
  for (const char* body : files)
    EXPECT_EQ(CantHandle("model", "\". Some data is missing or corrupt."), ReadText(TEXT_HEAD + body, false));
}

TEST_F(ModelFiles, BadBinaryCountsAreRefusedBeforeAllocating) {
  Bytes file = Written(BINARY_FORM);
  // The bone count at 12, the first mesh's vertex count after the mesh
  // count and its index.
  Bytes meshHead = LittleEndian(std::vector<uint32_t>{2, 0, 3, 1, 2, 4});
  size_t mesh = std::search(file.begin(), file.end(), meshHead.begin(), meshHead.end()) - file.begin();
  ASSERT_LT(mesh, file.size());
  struct Patch {
    size_t at;
    uint32_t value;
  } patches[] = {{12, 0xFFFFFFFFu}, {12, 0x7FFFFFFFu}, {mesh, 0x40000000u}, {mesh + 8, 0xFFFFFFFFu},
                 {mesh + 16, 0xFFFFFFFFu}, {mesh + 12, 0xFFFFFFFFu}, {mesh + 20, 0x20000000u}, {mesh + 24, 0xFFFFFF00u}};
  for (const Patch& patch : patches) {
    Bytes bad = file;
    Bytes value = LittleEndian(std::vector<uint32_t>{patch.value});
    std::copy(value.begin(), value.end(), bad.begin() + patch.at);
    LData_Model model;
    EXPECT_FALSE(Read(bad, model)) << patch.at;
    EXPECT_EQ(CantHandle("model", "\". Some data is missing or corrupt."), TakeMessages()) << patch.at;
  }
}

TEST_F(ModelFiles, TruncatedAndDamagedFilesFailCleanly) {
  Bytes binary = Written(BINARY_FORM);
  for (size_t length = 0; length < binary.size(); ++length) {
    Bytes cut(binary.begin(), binary.begin() + length);
    LData_Model model, info;
    EXPECT_FALSE(Read(cut, model)) << length;
    Read(cut, info, true);
  }
  for (size_t at = 0; at < binary.size(); ++at) {
    Bytes flipped = binary;
    flipped[at] ^= static_cast<unsigned char>(1u << (at % 8));
    LData_Model model;
    Read(flipped, model);
  }
  Bytes text = Written(TEXT_FORM);
  for (size_t length = 0; length < text.size(); length += 7) {
    LData_Model model;
    Read(Bytes(text.begin(), text.begin() + length), model);
  }
  TakeMessages();
}

TEST_F(ModelFiles, ShortWritesAndMissingArraysAreNoSave) {
  for (unsigned char form : {BINARY_FORM, TEXT_FORM}) {
    size_t full = Written(form).size();
    for (size_t limit : {size_t(0), size_t(10), full / 2, full - 1}) {
      LData_Model model;
      FillModel(model);
      CollectingOutput out(limit);
      EXPECT_FALSE(loader.Write(out, model, &form)) << int(form) << " " << limit;
    }
    LData_Model lacking;
    FillModel(lacking);
    lacking.meshes[1].SetNormals(nullptr);
    CollectingOutput out;
    EXPECT_FALSE(loader.Write(out, lacking, &form));
  }
  // Without options the binary form is written.
  LData_Model model;
  CollectingOutput out;
  EXPECT_TRUE(loader.Write(out, model, nullptr));
  EXPECT_EQ('b', out.bytes.at(6));
}

TEST_F(ModelFiles, ProbingLeavesTheStreamAndTheTableHoldsTheLoader) {
  Bytes text = Written(TEXT_FORM), binary = Written(BINARY_FORM);
  for (const Bytes* file : {&text, &binary}) {
    NamedInput stream(*file, "m");
    EXPECT_TRUE(loader.CanRead(stream));
    EXPECT_EQ(0u, stream.GetPosition());
  }
  for (const char* other : {"", "vxmdl", "signature vxmdl_ab", "\"signature\" \"vxmdl_ab\""}) {
    Bytes file = ToBytes(other);
    NamedInput stream(file, "m");
    EXPECT_FALSE(loader.CanRead(stream)) << other;
  }
  EXPECT_TRUE(loader.CanWrite(0));
  EXPECT_TRUE(loader.CanWrite(1));
  EXPECT_FALSE(loader.CanWrite(2));
  EXPECT_NE(nullptr, dynamic_cast<lum::LLoader_Model_Mesh*>(lum::GetModelLoaderTable().Get(0)));
}
