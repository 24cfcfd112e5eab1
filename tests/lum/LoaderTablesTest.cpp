#include <gtest/gtest.h>

#include "kor/CoreServices/Implementations/UStream_Memory.h"
#include "lum/LLoader.h"

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

TEST(LoaderTables, HoldTheImageLoadersThatExistInKeyOrder) {
  const lum::LImageLoaderTable& images = lum::GetImageLoaderTable();
  EXPECT_LE(images.GetNodeNum(), 8);
  for (int index = 0; index < images.GetNodeNum(); ++index) {
    EXPECT_NE(nullptr, images.GetNode(index).value);
    EXPECT_GE(images.GetNode(index).key, 0);
    EXPECT_LE(images.GetNode(index).key, 7);
    if (index > 0) {
      EXPECT_LT(images.GetNode(index - 1).key, images.GetNode(index).key);
    }
  }
  EXPECT_EQ(64, images.GetBucketNum());
}

TEST(LoaderTables, TheWriterIsTheJngLoaderWhenItExists) {
  LLoader_Image* jng = lum::GetImageLoaderTable().Get(lum::IMAGE_LOADER_JNG);
  EXPECT_EQ(jng, LLoader_Image::GetWriter(lum::TEXTURE_FORMAT_A8B8G8R8));
  EXPECT_EQ(nullptr, LLoader_Image::GetWriter(lum::TEXTURE_FORMAT_L16));
}

TEST(LoaderTables, EveryKindHasItsTable) {
  EXPECT_LE(lum::GetSoundLoaderTable().GetNodeNum(), 3);
  EXPECT_LE(lum::GetFontLoaderTable().GetNodeNum(), 1);
  EXPECT_LE(lum::GetModelLoaderTable().GetNodeNum(), 1);
  EXPECT_LE(lum::GetMapLoaderTable().GetNodeNum(), 1);
  EXPECT_EQ(&lum::GetMapLoaderTable(), &lum::GetMapLoaderTable());
}
