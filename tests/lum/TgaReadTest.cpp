// Reading TGA files built byte by byte: conversions, run-length packets,
// colour maps, orientation, and the refusals with their messages.
#include <gtest/gtest.h>

#include "TgaBmpTestSupport.h"
#include "lum/Image/LLoader_Image_TGA.h"

namespace {

const std::string UNSUPPORTED =
    "Can't handle file \"t.tga\". This tga file uses an unsupported image format (it may be corrupt).";

Decoded ReadTga(const Bytes& file, bool infoOnly = false) {
  lum::LLoader_Image_TGA loader;
  return DecodeWith(loader, file, "t.tga", infoOnly);
}

// 24-bit pixels blue, green, red of the given grey levels.
Bytes Grey24(std::initializer_list<unsigned char> levels) {
  Bytes data;
  for (unsigned char level : levels) data.insert(data.end(), {level, level, level});
  return data;
}

// The red byte of each record pixel.
Bytes Reds(const Decoded& decoded) {
  Bytes reds;
  for (size_t at = 3; at < decoded.pixels.size(); at += 4) reds.push_back(decoded.pixels[at]);
  return reds;
}

}  // namespace

TEST(TgaRead, BottomUpRowsComeOutTopFirstAndRightToLeftRowsAreMirrored) {
  Bytes data = Grey24({1, 2, 3, 4});  // rows 1 2 / 3 4 as stored
  EXPECT_EQ(Bytes({3, 4, 1, 2}), Reds(ReadTga(TgaFile(2, 2, 2, 24, 0x00, data))));
  EXPECT_EQ(Bytes({4, 3, 2, 1}), Reds(ReadTga(TgaFile(2, 2, 2, 24, 0x10, data))));
  EXPECT_EQ(Bytes({2, 1, 4, 3}), Reds(ReadTga(TgaFile(2, 2, 2, 24, 0x30, data))));
  EXPECT_EQ(Bytes({1, 2, 3, 4}), Reds(ReadTga(TgaFile(2, 2, 2, 24, 0x20, data))));
}

TEST(TgaRead, ColoursOfEverySizeBecomeRecordPixels) {
  Bytes words;
  for (unsigned word : {0x7FFFu, 0x0421u, 0x8000u, 0x7C00u}) Append16(words, word);
  Decoded sixteen = ReadTga(TgaFile(2, 4, 1, 16, 0x20, words));
  EXPECT_EQ(lum::TEXTURE_FORMAT_X8B8G8R8, sixteen.format);
  EXPECT_EQ(Bytes({255, 255, 255, 255, 255, 8, 8, 8, 255, 0, 0, 0, 255, 0, 0, 255}), sixteen.pixels);
  // Attribute bits make the format one with alpha; the alpha stays 255.
  Decoded attributed = ReadTga(TgaFile(2, 4, 1, 16, 0x21, words));
  EXPECT_EQ(lum::TEXTURE_FORMAT_A8B8G8R8, attributed.format);
  EXPECT_EQ(sixteen.pixels, attributed.pixels);

  Decoded wide = ReadTga(TgaFile(2, 1, 1, 32, 0x28, {10, 20, 30, 40}));
  EXPECT_EQ(lum::TEXTURE_FORMAT_A8B8G8R8, wide.format);
  EXPECT_EQ(Bytes({40, 10, 20, 30}), wide.pixels);
  EXPECT_EQ(Bytes({255, 10, 20, 30}), ReadTga(TgaFile(2, 1, 1, 24, 0x20, {10, 20, 30})).pixels);

  Decoded grey = ReadTga(TgaFile(3, 3, 1, 8, 0x20, {7, 8, 9}));
  EXPECT_EQ(lum::TEXTURE_FORMAT_L8, grey.format);
  EXPECT_EQ(Bytes({7, 8, 9}), grey.pixels);
}

TEST(TgaRead, RunLengthPacketsRepeatOneValueOrCopySeveral) {
  Bytes data = Concat({{0x83}, Grey24({5}), {0x03}, Grey24({1, 2, 3, 4})});
  Decoded decoded = ReadTga(TgaFile(10, 4, 2, 24, 0x20, data));
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(Bytes({5, 5, 5, 5, 1, 2, 3, 4}), Reds(decoded));

  // A packet reaching past the last pixel ends there.
  EXPECT_EQ(Bytes({9, 9}), Reds(ReadTga(TgaFile(10, 2, 1, 24, 0x20, Concat({{0xFF}, Grey24({9})})))));
  EXPECT_EQ(Bytes({1, 2}), Reds(ReadTga(TgaFile(10, 2, 1, 24, 0x20, Concat({{0x7F}, Grey24({1, 2, 3})})))));
}

TEST(TgaRead, IndicesSelectEntriesFromTheFirstIndexOnAndOthersAreBlack) {
  Bytes map = Grey24({100, 200});  // entries for indices 2 and 3
  Decoded plain = ReadTga(TgaFile(1, 4, 1, 8, 0x20, {2, 3, 1, 255}, map, 24, 2));
  ASSERT_TRUE(plain.ok);
  EXPECT_EQ(lum::TEXTURE_FORMAT_X8B8G8R8, plain.format);
  EXPECT_EQ(Bytes({255, 100, 100, 100, 255, 200, 200, 200, 255, 0, 0, 0, 255, 0, 0, 0}), plain.pixels);
  Decoded runs = ReadTga(TgaFile(9, 4, 1, 8, 0x20, {0x82, 3, 0x00, 2}, map, 24, 2));
  EXPECT_EQ(Bytes({200, 200, 200, 100}), Reds(runs));
  // The entry size decides the format.
  EXPECT_EQ(lum::TEXTURE_FORMAT_A8B8G8R8, ReadTga(TgaFile(1, 1, 1, 8, 0x20, {0}, {1, 2, 3, 4}, 32)).format);
}

TEST(TgaRead, FilesWithoutImageDataSucceedWithTheirWarningAndNoPixels) {
  Decoded decoded = ReadTga(TgaFile(0, 4, 4, 24, 0x00, Bytes()));
  EXPECT_TRUE(decoded.ok);
  EXPECT_TRUE(decoded.pixels.empty());
  EXPECT_EQ(Warning("File \"t.tga\" doesn't contain any image data. There are tga files without image data, but "
                    "that is usually not intended to be like that."),
            decoded.messages);
}

TEST(TgaRead, UnsupportedFilesAreRefusedWithTheirMessages) {
  Decoded rleGrey = ReadTga(TgaFile(11, 1, 1, 8, 0x20, {0x80, 1}));
  EXPECT_FALSE(rleGrey.ok);
  EXPECT_EQ(Warning("File \"t.tga\" is a RLE encoded grayscale tga file, which is not supported yet. Please send "
                    "in the file which caused this message to get full mind-blowing support of realistic RLE "
                    "encoded grayscale 'TrueVision Graphics Adapter (TM)' files."),
            rleGrey.messages);
  Decoded depth = ReadTga(TgaFile(2, 1, 1, 12, 0x20, {1, 2}), true);
  EXPECT_FALSE(depth.ok);
  EXPECT_EQ(Warning("Can't handle \"t.tga\". This tga file uses an unsupported color depth (supported: 8, 15, "
                    "16, 24 and 32 bits per pixel)."),
            depth.messages);
  // Types without a decoder, and combinations without a conversion: true
  // colour of 8 bits, greyscale of 16, indices without a map.
  for (const Bytes& file : {TgaFile(32, 1, 1, 8, 0x20, {1}), TgaFile(2, 1, 1, 8, 0x20, {1}),
                            TgaFile(3, 1, 1, 16, 0x20, {1, 2}), TgaFile(1, 1, 1, 8, 0x20, {0})}) {
    Decoded refused = ReadTga(file);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(Warning(UNSUPPORTED), refused.messages);
  }
}

TEST(TgaRead, ShortDataFailsTheRead) {
  const Bytes files[] = {TgaFile(2, 2, 1, 24, 0x20, Grey24({1})), TgaFile(3, 2, 2, 8, 0x20, {1, 2, 3}),
                         TgaFile(10, 3, 1, 24, 0x20, Concat({{0x81}, Grey24({1})})),
                         TgaFile(10, 3, 1, 24, 0x20, Concat({{0x02}, Grey24({1, 2})})),
                         TgaFile(1, 1, 1, 8, 0x20, Bytes(), Grey24({1}), 24),
                         Bytes(17, 0)};
  for (const Bytes& file : files) {
    Decoded decoded = ReadTga(file);
    EXPECT_FALSE(decoded.ok);
    EXPECT_EQ(Warning(UNSUPPORTED), decoded.messages);
  }
}

TEST(TgaCanRead, LooksAtTheHeaderAndLeavesTheStreamWhereItWas) {
  lum::LLoader_Image_TGA loader;
  Bytes good = TgaFile(2, 1, 1, 24, 0x20, {1, 2, 3});
  NamedStream stream(good, "t.tga");
  EXPECT_TRUE(loader.CanRead(stream));
  EXPECT_EQ(0u, stream.GetPosition());
  auto changed = [&](size_t at, unsigned char value) {
    Bytes file = good;
    file[at] = value;
    NamedStream other(file, "t.tga");
    return loader.CanRead(other);
  };
  EXPECT_FALSE(changed(1, 2));     // colour-map type
  EXPECT_FALSE(changed(16, 12));   // pixel depth
  EXPECT_FALSE(changed(17, 0x60)); // interleaving bits
  EXPECT_FALSE(changed(2, 4));     // image type
  EXPECT_TRUE(changed(2, 33));
  Bytes shortFile(good.begin(), good.begin() + 17);
  NamedStream cut(shortFile, "t.tga");
  EXPECT_FALSE(loader.CanRead(cut));
  EXPECT_EQ(0u, cut.GetPosition());
}
