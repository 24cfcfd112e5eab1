#include <gtest/gtest.h>

#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "lum/Font/LLoader_Font_OpenType.h"
#include "lum/Image/LLoader_Image_BMP.h"
#include "lum/Image/LLoader_Image_GIF.h"
#include "lum/Image/LLoader_Image_HDR.h"
#include "lum/Image/LLoader_Image_ICO.h"
#include "lum/Image/LLoader_Image_JNG.h"
#include "lum/Image/LLoader_Image_JPG.h"
#include "lum/Image/LLoader_Image_PNG.h"
#include "lum/Image/LLoader_Image_TGA.h"
#include "lum/LLoader.h"
#include "lum/Map/LLoader_Map_Brushes.h"
#include "lum/Model/LLoader_Model_Mesh.h"
#include "lum/Sound/LLoader_Sound_AIFF.h"
#include "lum/Sound/LLoader_Sound_OGG.h"
#include "lum/Sound/LLoader_Sound_WAV.h"

using lum::LLoader_Image;

namespace {

// Another library's static initialiser may already ask for a reader.
struct EarlyUser {
  EarlyUser() {
    kor::UStream_Memory stream("abc", 3);
    LLoader_Image::FindReader(stream);
    table = &lum::GetImageLoaderTable();
    position = stream.GetPosition();
  }
  lum::LImageLoaderTable* table = nullptr;
  uint64_t position = 99;
} g_earlyUser;

}  // namespace

TEST(LoaderTables, AreUsableDuringStaticInitialisation) {
  EXPECT_EQ(&lum::GetImageLoaderTable(), g_earlyUser.table);
  EXPECT_EQ(0u, g_earlyUser.position);
}

TEST(LoaderTables, TheWriterIsTheJngLoaderWhenItExists) {
  LLoader_Image* jng = lum::GetImageLoaderTable().Get(lum::IMAGE_LOADER_JNG);
  EXPECT_EQ(jng, LLoader_Image::GetWriter(lum::TEXTURE_FORMAT_A8B8G8R8));
  EXPECT_EQ(nullptr, LLoader_Image::GetWriter(lum::TEXTURE_FORMAT_L16));
}

// Every table holds exactly its loaders, each of exactly its class under
// its key, in key order: a loader left out of the build fails here.
template <class Loader>
std::vector<std::pair<int, std::type_index>> Contents(const lum::LLoaderTable<Loader>& table) {
  std::vector<std::pair<int, std::type_index>> contents;
  for (int index = 0; index < table.GetNodeNum(); ++index) {
    Loader* loader = table.GetNode(index).value;
    EXPECT_NE(nullptr, loader);
    if (loader) contents.emplace_back(table.GetNode(index).key, std::type_index(typeid(*loader)));
  }
  return contents;
}

typedef std::vector<std::pair<int, std::type_index>> Entries;

TEST(LoaderTables, HoldExactlyTheirLoadersInKeyOrder) {
  EXPECT_EQ((Entries{{lum::IMAGE_LOADER_BMP, typeid(lum::LLoader_Image_BMP)},
                     {lum::IMAGE_LOADER_GIF, typeid(lum::LLoader_Image_GIF)},
                     {lum::IMAGE_LOADER_HDR, typeid(lum::LLoader_Image_HDR)},
                     {lum::IMAGE_LOADER_ICO, typeid(lum::LLoader_Image_ICO)},
                     {lum::IMAGE_LOADER_JNG, typeid(lum::LLoader_Image_JNG)},
                     {lum::IMAGE_LOADER_JPG, typeid(lum::LLoader_Image_JPG)},
                     {lum::IMAGE_LOADER_PNG, typeid(lum::LLoader_Image_PNG)},
                     {lum::IMAGE_LOADER_TGA, typeid(lum::LLoader_Image_TGA)}}),
            Contents(lum::GetImageLoaderTable()));
  EXPECT_EQ((Entries{{0, typeid(lum::LLoader_Sound_AIFF)},
                     {1, typeid(lum::LLoader_Sound_OGG)},
                     {2, typeid(lum::LLoader_Sound_WAV)}}),
            Contents(lum::GetSoundLoaderTable()));
  EXPECT_EQ((Entries{{0, typeid(lum::LLoader_Model_Mesh)}}), Contents(lum::GetModelLoaderTable()));
  EXPECT_EQ((Entries{{0, typeid(lum::LLoader_Map_Brushes)}}), Contents(lum::GetMapLoaderTable()));
  EXPECT_EQ((Entries{{0, typeid(lum::LLoader_Font_OpenType)}}), Contents(lum::GetFontLoaderTable()));
  EXPECT_EQ(64, lum::GetImageLoaderTable().GetBucketNum());
  EXPECT_EQ(&lum::GetMapLoaderTable(), &lum::GetMapLoaderTable());
}
