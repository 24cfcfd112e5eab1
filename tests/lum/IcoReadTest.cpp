// Reading icons built byte by byte: the transparency mask, the directory
// checks with their messages, and the sizes an entry gives.
#include <gtest/gtest.h>

#include "TgaBmpTestSupport.h"
#include "lum/Image/LLoader_Image_ICO.h"

namespace {

Decoded ReadIco(const Bytes& file, bool infoOnly = false) {
  lum::LLoader_Image_ICO loader;
  return DecodeWith(loader, file, "i.ico", infoOnly);
}

// A 16 x 16 icon of 4 bits: pixel (x, y) of the stored rows has index
// (x + y) % 16, and the mask bit of every pixel on a diagonal is set.
Bytes FourBitIcon(unsigned bitCountInEntry = 4, unsigned colorCount = 0) {
  BitmapLayout layout;
  layout.width = 16;
  layout.height = 16;
  layout.bitCount = 4;
  for (int i = 0; i < 16; ++i) layout.palette.insert(layout.palette.end(), {0, 0, static_cast<unsigned char>(i), 0});
  Bytes mask;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; x += 2) layout.pixels.push_back(static_cast<unsigned char>(((x + y) % 16) << 4 | (x + y + 1) % 16));
    unsigned bits = 0x8000u >> y;
    mask.insert(mask.end(), {static_cast<unsigned char>(bits >> 8), static_cast<unsigned char>(bits), 0, 0});
  }
  return IcoFile(layout, mask, bitCountInEntry, colorCount);
}

}  // namespace

TEST(IcoRead, TheMaskMakesExactlyItsSetBitsTransparent) {
  Decoded icon = ReadIco(FourBitIcon());
  ASSERT_TRUE(icon.ok) << icon.messages;
  EXPECT_EQ(lum::TEXTURE_FORMAT_A8B8G8R8, icon.format);
  ASSERT_EQ(16, icon.width);
  ASSERT_EQ(16, icon.height);
  // Stored bottom row first: output row r is stored row 15 - r.
  for (int row = 0; row < 16; ++row)
    for (int x = 0; x < 16; ++x) {
      const unsigned char* pixel = &icon.pixels[(row * 16 + x) * 4];
      int stored = 15 - row;
      EXPECT_EQ(x == stored ? 0 : 255, pixel[0]) << x << "," << row;
      EXPECT_EQ((x + stored) % 16, pixel[3]) << x << "," << row;
    }
}

TEST(IcoRead, ThirtyTwoBitIconsKeepTheirAlphaAndNeedNoMask) {
  BitmapLayout layout;
  layout.width = 1;
  layout.height = 1;
  layout.bitCount = 32;
  layout.pixels = {1, 2, 3, 0};
  Decoded icon = ReadIco(IcoFile(layout, Bytes(), 32));
  ASSERT_TRUE(icon.ok) << icon.messages;
  EXPECT_EQ(Bytes({0, 1, 2, 3}), icon.pixels);
}

TEST(IcoRead, ShortImagesAreCorrupt) {
  Bytes icon = FourBitIcon();
  for (size_t cut : {size_t(4), size_t(20), size_t(40), size_t(100), icon.size() - 1}) {
    Decoded decoded = ReadIco(Bytes(icon.begin(), icon.end() - static_cast<long>(icon.size() - cut)));
    EXPECT_FALSE(decoded.ok) << cut;
    EXPECT_EQ(Warning("File \"i.ico\" is corrupt."), decoded.messages) << cut;
  }
}

TEST(IcoRead, DirectoryAndEntryChecksWithTheirMessages) {
  auto changed = [](size_t at, unsigned char value) {
    Bytes file = FourBitIcon();
    file[at] = value;
    return ReadIco(file);
  };
  const std::string unsupported =
      "Can't handle file \"i.ico\". Perhaps it is an unsupported icon format or just a corrupt one.";
  EXPECT_EQ(Warning(unsupported), changed(0, 1).messages);
  EXPECT_EQ(Warning(unsupported), changed(2, 2).messages);
  Decoded empty = changed(4, 0);
  EXPECT_FALSE(empty.ok);
  EXPECT_EQ(Warning("Warning,  \"i.ico\" seems to be a valid icon file, but does not contain any images."),
            empty.messages);
  EXPECT_EQ(Warning("Can't handle file \"i.ico\". The file seems to be corrupt."), changed(9, 1).messages);
  EXPECT_EQ(Warning("Can't handle file \"i.ico\". This bitmap specifies an unsupported color depth"),
            changed(12, 3).messages);
  EXPECT_EQ(Warning("Can't handle file \"i.ico\". This icon specifies an unsupported color depth"),
            changed(22 + 14, 3).messages);
  EXPECT_EQ(Warning("File \"i.ico\" is corrupt."), changed(18, 5).messages);  // image offset inside the entry
}

TEST(IcoRead, AnEntryWithoutBitCountNamesItsColourCount) {
  EXPECT_TRUE(ReadIco(FourBitIcon(0, 16)).ok);
  EXPECT_TRUE(ReadIco(FourBitIcon(0, 2)).ok);
  EXPECT_FALSE(ReadIco(FourBitIcon(0, 0)).ok);
}

TEST(IcoRead, InfoTakesTheEntrysSizeWhereZeroMeans256) {
  Decoded info = ReadIco(FourBitIcon(), true);
  EXPECT_TRUE(info.ok);
  EXPECT_EQ(16, info.width);
  Bytes file = FourBitIcon();
  file[6] = 0;
  file[7] = 0;
  info = ReadIco(file, true);
  EXPECT_EQ(256, info.width);
  EXPECT_EQ(256, info.height);
  EXPECT_EQ(lum::TEXTURE_FORMAT_A8B8G8R8, info.format);
}

TEST(IcoCanRead, TheDirectoryDecidesAndTheStreamStaysPut) {
  lum::LLoader_Image_ICO loader;
  Bytes file = FourBitIcon();
  NamedStream stream(file, "i.ico");
  EXPECT_TRUE(loader.CanRead(stream));
  EXPECT_EQ(0u, stream.GetPosition());
  file[4] = 0;
  NamedStream empty(file, "i.ico");
  EXPECT_FALSE(loader.CanRead(empty));
  EXPECT_FALSE(loader.CanWrite(lum::TEXTURE_FORMAT_A8B8G8R8));
}
