// The map loader: the tokenizer's view of map files, planes and their
// defaults, entities that are never stored, and files whose indices and
// counts do not fit their arrays.
#include <string>

#include "ModelMapTestSupport.h"
#include "lum/LLoader.h"
#include "lum/Map/LLoader_Map_Brushes.h"

namespace {

using lum::LData_Map;

const std::string HEAD = "signature \"vxmap\"\r\nversion 1\r\n";

class MapFiles : public LoaderFixture {
 protected:
  bool Read(const std::string& text, LData_Map& map, bool infoOnly = false) {
    Bytes file = ToBytes(text);
    NamedInput stream(file, "level");
    return infoOnly ? loader.ReadInfo(stream, map, nullptr) : loader.Read(stream, map, nullptr);
  }

  // Held by pointer: a loader's destructor may raise, the fixture's may not.
  std::unique_ptr<lum::LLoader_Map_Brushes> m_loader{new lum::LLoader_Map_Brushes};
  lum::LLoader_Map_Brushes& loader = *m_loader;
};

const std::string CONVEX =
    "convexBrush 0 3 {\r\n"
    "  1 0 0 -4  0 1 0  0 0 1  \"stone\" 7\r\n"
    "  0 1 0 2.5 1 0 0  0 0 -1 wood -2\r\n"
    "  0 0 1 0.125 0 -1 0  1 0 0 \"\" 0\r\n"
    "}";

}  // namespace

TEST_F(MapFiles, SignatureAndVersionAlone) {
  LData_Map map;
  map.flags = 5;
  ASSERT_TRUE(Read(HEAD, map));
  EXPECT_EQ(0u, map.flags);
  EXPECT_EQ(0, map.numBrushes);
  EXPECT_EQ(nullptr, map.brushes);
  EXPECT_EQ(0, map.numEntities);
  EXPECT_EQ("", TakeMessages());
}

TEST_F(MapFiles, WrongSignatureAndVersion) {
  LData_Map map;
  EXPECT_FALSE(Read("signature \"vxmdl_a\" version 1", map));
  EXPECT_EQ(CantHandle("level", "\". Wrong file signature."), TakeMessages());
  for (const char* version : {"2", "01", "one", ""}) {
    LData_Map other;
    EXPECT_FALSE(Read(std::string("signature \"vxmap\" numBrushes 1 version ") + version, other)) << version;
    EXPECT_EQ(CantHandle("level", "\". Wrong file version information."), TakeMessages());
    // What was read before the version stays.
    EXPECT_EQ(1, other.numBrushes);
  }
}

TEST_F(MapFiles, ConvexPartsGetTheirPlanes) {
  LData_Map map;
  ASSERT_TRUE(Read(HEAD + "numBrushes 2\r\nbrush 1 {\r\n numConvexBrushes 2\r\n " + CONVEX + "\r\n}\r\n", map));
  ASSERT_EQ(2, map.numBrushes);
  EXPECT_EQ(0, map.brushes[0].numConvexParts);
  ASSERT_EQ(2, map.brushes[1].numConvexParts);
  EXPECT_EQ(0, map.brushes[1].convexParts[1].numPlanes);
  const lum::LMapConvex& convex = map.brushes[1].convexParts[0];
  ASSERT_EQ(3, convex.numPlanes);
  const lum::LMapPlane& first = convex.planes[0];
  EXPECT_EQ(1.0f, first.vectorA[0]);
  EXPECT_EQ(-4.0f, first.valueB);
  EXPECT_EQ(1.0f, first.vectorC[1]);
  EXPECT_EQ(1.0f, first.vectorD[2]);
  EXPECT_STREQ("stone", first.name.GetText());
  EXPECT_EQ(7, first.number);
  EXPECT_EQ(2.5f, convex.planes[1].valueB);
  EXPECT_EQ(-1.0f, convex.planes[1].vectorD[2]);
  EXPECT_STREQ("wood", convex.planes[1].name.GetText());
  EXPECT_EQ(-2, convex.planes[1].number);
  EXPECT_EQ(0.125f, convex.planes[2].valueB);
  EXPECT_STREQ("", convex.planes[2].name.GetText());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(0.0f, convex.planes[i].vectorE[0]);
    EXPECT_EQ(0.0f, convex.planes[i].vectorE[1]);
    EXPECT_EQ(1.0f, convex.planes[i].vectorE[2]);
  }
}

TEST_F(MapFiles, PlanesPastTheEndOfTheirBlockAreEmpty) {
  LData_Map map;
  ASSERT_TRUE(Read(HEAD + "numBrushes 1 brush 0 { numConvexBrushes 1 convexBrush 0 2 { 1 2 3 4 5 6 7 8 9 10 } }", map));
  const lum::LMapConvex& convex = map.brushes[0].convexParts[0];
  ASSERT_EQ(2, convex.numPlanes);
  EXPECT_EQ(10.0f, convex.planes[0].vectorD[2]);
  EXPECT_STREQ("", convex.planes[0].name.GetText());
  EXPECT_EQ(0.0f, convex.planes[1].vectorA[0]);
  EXPECT_EQ(1.0f, convex.planes[1].vectorE[2]);
}

TEST_F(MapFiles, EntitiesAreCountedButNeverFilled) {
  LData_Map map;
  ASSERT_TRUE(Read(HEAD + "numEntities 2 entity 0 { classname \"light\" brush 0 { } numBrushes 9 } entity 1 { }", map));
  ASSERT_EQ(2, map.numEntities);
  EXPECT_EQ(0, map.entities[0].attributes.GetNum());
  EXPECT_EQ(0, map.entities[1].attributes.GetNum());
  EXPECT_EQ(0, map.numBrushes);
}

TEST_F(MapFiles, ReadInfoKeepsCountsAndEmptyRecords) {
  LData_Map map;
  ASSERT_TRUE(Read(HEAD + "numBrushes 2 numEntities 1 brush 5 { numConvexBrushes 1 " + CONVEX + " }", map, true));
  EXPECT_EQ(2, map.numBrushes);
  EXPECT_EQ(1, map.numEntities);
  EXPECT_EQ(0, map.brushes[0].numConvexParts);
  EXPECT_EQ(0, map.brushes[1].numConvexParts);
}

TEST_F(MapFiles, IndicesAndCountsOutsideTheirArraysAreRefused) {
  const char* bodies[] = {
      "brush 0 { }",
      "numBrushes 1 brush 1 { }",
      "numBrushes 1 brush -1 { }",
      "numBrushes 1 brush 0 { convexBrush 0 1 { 1 } }",
      "numBrushes 1 brush 0 { numConvexBrushes 1 convexBrush 1 1 { 1 } }",
      "numBrushes 1 brush 0 { numConvexBrushes 1 convexBrush 0 -1 { } }",
      "numBrushes 1 brush 0 { numConvexBrushes 1 convexBrush 0 100000 { 1 2 3 } }",
      "numBrushes 1 brush 0 { numConvexBrushes 2000000000 }",
      "numBrushes 2000000000",
      "numEntities -3",
  };
  for (const char* body : bodies) {
    LData_Map map;
    EXPECT_FALSE(Read(HEAD + body, map)) << body;
    EXPECT_EQ(CantHandle("level", "\". Some data is missing or corrupt."), TakeMessages()) << body;
  }
}

// A text the tokenizer gave up on is no map, wherever the trouble is.
TEST_F(MapFiles, TextCutShortByTheTokenizerIsRefused) {
  std::string deep = std::string(2000, '{') + std::string(2000, '}');
  const std::string texts[] = {HEAD + "numBrushes 1 " + deep, HEAD + "numBrushes 1 brush 0 { x " + deep + " }",
                               HEAD + "numBrushes 1 brush 0 { numConvexBrushes 1 convexBrush 0 1 { " + deep + " } }"};
  for (const std::string& text : texts) {
    Bytes file = ToBytes(text);
    NamedInput stream(file, "level");
    EXPECT_FALSE(loader.CanRead(stream));
    LData_Map map;
    EXPECT_FALSE(Read(text, map));
    std::string messages = TakeMessages();
    EXPECT_NE(std::string::npos, messages.find("Text nests blocks too deeply")) << messages;
    EXPECT_NE(std::string::npos, messages.find(CantHandle("level", "\". Some data is missing or corrupt."))) << messages;
  }
}

TEST_F(MapFiles, ProbingWritingAndTruncations) {
  for (const char* text : {"signature \"vxmap\"", "  signature vxmap version 2"}) {
    Bytes file = ToBytes(text);
    NamedInput stream(file, "level");
    EXPECT_TRUE(loader.CanRead(stream));
    EXPECT_EQ(0u, stream.GetPosition());
  }
  for (const char* text : {"", "signature", "vxmap signature", "signature \"vxmdl_a\""}) {
    Bytes file = ToBytes(text);
    NamedInput stream(file, "level");
    EXPECT_FALSE(loader.CanRead(stream)) << text;
  }
  EXPECT_TRUE(loader.CanWrite(0));
  EXPECT_FALSE(loader.CanWrite(1));
  LData_Map map;
  CollectingOutput out;
  EXPECT_FALSE(loader.Write(out, map, nullptr));
  EXPECT_TRUE(out.bytes.empty());
  EXPECT_NE(nullptr, dynamic_cast<lum::LLoader_Map_Brushes*>(lum::GetMapLoaderTable().Get(0)));

  std::string full = HEAD + "numBrushes 1 numEntities 1 brush 0 { numConvexBrushes 1 " + CONVEX + " } entity 0 { a b }";
  for (size_t length = 0; length <= full.size(); length += 3) {
    LData_Map cut;
    Read(full.substr(0, length), cut);
  }
  TakeMessages();
}
