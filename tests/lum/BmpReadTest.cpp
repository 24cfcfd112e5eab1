// Reading bitmaps built byte by byte: every bit count, padding, bit fields,
// both run-length forms, orientation, the palette of long headers, the
// alpha of 32-bit files, and the refusals with their messages.
#include <gtest/gtest.h>

#include "TgaBmpTestSupport.h"
#include "lum/Image/LLoader_Image_BMP.h"

namespace {

const std::string CORRUPT = "Can't handle file \"b.bmp\". It may be corrupt.";
const std::string DELTA = "file \"b.bmp uses an unsupported feature. Please send in the file to get full support";

Decoded ReadBmp(const Bytes& file, bool infoOnly = false) {
  lum::LLoader_Image_BMP loader;
  return DecodeWith(loader, file, "b.bmp", infoOnly);
}

// Palette entries (blue, green, red, reserved) whose every channel is the
// entry's grey level.
Bytes GreyPalette(std::initializer_list<unsigned char> levels) {
  Bytes palette;
  for (unsigned char level : levels) palette.insert(palette.end(), {level, level, level, 0});
  return palette;
}

Bytes Reds(const Decoded& decoded) {
  Bytes reds;
  for (size_t at = 3; at < decoded.pixels.size(); at += 4) reds.push_back(decoded.pixels[at]);
  return reds;
}

Bytes Alphas(const Decoded& decoded) {
  Bytes alphas;
  for (size_t at = 0; at < decoded.pixels.size(); at += 4) alphas.push_back(decoded.pixels[at]);
  return alphas;
}

BitmapLayout Bitmap(int width, int height, unsigned bitCount, Bytes pixels, Bytes palette = Bytes()) {
  BitmapLayout layout;
  layout.width = width;
  layout.height = height;
  layout.bitCount = bitCount;
  layout.pixels = pixels;
  layout.palette = palette;
  return layout;
}

// An 8-bit run-length bitmap over a palette of the levels 0, 10, 20, ...
BitmapLayout Rle(int width, int height, unsigned compression, Bytes data) {
  Bytes palette;
  for (int i = 0; i < 16; ++i) palette.insert(palette.end(), {0, 0, static_cast<unsigned char>(10 * i), 0});
  BitmapLayout layout = Bitmap(width, height, compression == 1 ? 8 : 4, data, palette);
  layout.compression = compression;
  return layout;
}

}  // namespace

TEST(BmpRead, RowsArePaddedToFourBytesAndStoredBottomUpUnlessTheHeightIsNegative) {
  // Three 24-bit pixels take 9 bytes and 3 of padding.
  Bytes rows24 = {1, 1, 1, 2, 2, 2, 3, 3, 3, 0, 0, 0, 4, 4, 4, 5, 5, 5, 6, 6, 6, 0, 0, 0};
  Decoded flipped = ReadBmp(BmpFile(Bitmap(3, 2, 24, rows24)));
  ASSERT_TRUE(flipped.ok) << flipped.messages;
  EXPECT_EQ(lum::TEXTURE_FORMAT_X8B8G8R8, flipped.format);
  EXPECT_EQ(Bytes({4, 5, 6, 1, 2, 3}), Reds(flipped));
  EXPECT_EQ(Bytes({1, 2, 3, 4, 5, 6}), Reds(ReadBmp(BmpFile(Bitmap(3, -2, 24, rows24)))));
  // Three 8-bit indices take 3 bytes and 1 of padding.
  Bytes rows8 = {0, 1, 2, 9, 2, 1, 0, 9};
  EXPECT_EQ(Bytes({20, 10, 0, 0, 10, 20}), Reds(ReadBmp(BmpFile(Bitmap(3, 2, 8, rows8, GreyPalette({0, 10, 20}))))));
}

TEST(BmpRead, SmallIndicesArePackedMostSignificantFirst) {
  BitmapLayout one = Bitmap(10, -1, 1, {0xA0, 0x40, 0, 0}, GreyPalette({0, 255}));
  EXPECT_EQ(Bytes({255, 0, 255, 0, 0, 0, 0, 0, 0, 255}), Reds(ReadBmp(BmpFile(one))));
  BitmapLayout four = Bitmap(3, -1, 4, {0x21, 0x30, 0, 0}, GreyPalette({0, 10, 20, 30}));
  EXPECT_EQ(Bytes({20, 10, 30}), Reds(ReadBmp(BmpFile(four))));
  // Indices the palette does not reach are black.
  EXPECT_EQ(Bytes({10, 0, 0}), Reds(ReadBmp(BmpFile(Bitmap(3, -1, 8, {1, 2, 200, 0}, GreyPalette({0, 10}))))));
}

TEST(BmpRead, SixteenAndThirtyTwoBitPixels) {
  Bytes words;
  for (unsigned word : {0x7FFFu, 0x0421u}) Append16(words, word);
  EXPECT_EQ(Bytes({255, 255, 255, 255, 255, 8, 8, 8}), ReadBmp(BmpFile(Bitmap(2, 1, 16, words))).pixels);
  Decoded wide = ReadBmp(BmpFile(Bitmap(1, 1, 32, {10, 20, 30, 40})));
  EXPECT_EQ(lum::TEXTURE_FORMAT_A8B8G8R8, wide.format);
  EXPECT_EQ(Bytes({40, 10, 20, 30}), wide.pixels);
}

TEST(BmpRead, ThirtyTwoBitAlphaThatIsZeroEverywhereIsPadding) {
  EXPECT_EQ(Bytes({255, 255}), Alphas(ReadBmp(BmpFile(Bitmap(2, 1, 32, {1, 2, 3, 0, 4, 5, 6, 0})))));
  EXPECT_EQ(Bytes({0, 9}), Alphas(ReadBmp(BmpFile(Bitmap(2, 1, 32, {1, 2, 3, 0, 4, 5, 6, 9})))));
  // A header with an alpha mask of its own means what it says.
  BitmapLayout own = Bitmap(1, 1, 32, {1, 2, 3, 0});
  own.compression = 3;
  own.headerSize = 56;
  own.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  EXPECT_EQ(Bytes({0}), Alphas(ReadBmp(BmpFile(own))));
}

TEST(BmpRead, BitFieldsScaleEachMaskedValueToEightBits) {
  BitmapLayout layout = Bitmap(2, 1, 16, Bytes());
  layout.compression = 3;
  layout.masks = {0xF800, 0x07E0, 0x001F};
  Append16(layout.pixels, 0xFFFF);
  Append16(layout.pixels, 0x07E0);
  // 16-bit pixels have no alpha: the filler is 255.
  EXPECT_EQ(Bytes({255, 255, 255, 255, 255, 0, 255, 0}), ReadBmp(BmpFile(layout)).pixels);
  // A mask without bits gives 0, not a division by zero.
  layout.masks = {0xFF00, 0x00FF, 0};
  EXPECT_EQ(Bytes({255, 0, 255, 255, 255, 0, 224, 7}), ReadBmp(BmpFile(layout)).pixels);

  // 32 bits: the bits the colours leave are alpha, and the masks of a V3
  // header and longer lie inside it.
  BitmapLayout wide = Bitmap(1, 1, 32, Bytes());
  wide.compression = 3;
  wide.masks = {0x000003FF, 0x000FFC00, 0x3FF00000};
  Append32(wide.pixels, 0x800FFC00u);
  EXPECT_EQ(Bytes({170, 0, 255, 0}), ReadBmp(BmpFile(wide)).pixels);
  wide.headerSize = 124;
  wide.masks.push_back(0xC0000000u);
  EXPECT_EQ(Bytes({170, 0, 255, 0}), ReadBmp(BmpFile(wide)).pixels);
}

TEST(BmpRead, ThePaletteStartsAfterTheHeadersOwnSize) {
  for (uint32_t headerSize : {40u, 108u, 124u}) {
    BitmapLayout layout = Bitmap(2, 1, 1, {0x40, 0, 0, 0}, GreyPalette({30, 60}));
    layout.headerSize = headerSize;
    layout.colorsUsed = 2;
    EXPECT_EQ(Bytes({30, 60}), Reds(ReadBmp(BmpFile(layout)))) << headerSize;
  }
}

TEST(BmpRead, Rle8RunsAbsoluteRunsAndLineEnds) {
  // Row 0: five of index 7, then an absolute run of 3 with its padding
  // byte; row 1: one of index 1, line end, and the end of the bitmap.
  Bytes data = {5, 7, 0, 3, 1, 2, 3, 0, 0, 0, 1, 1, 0, 0, 0, 1};
  Decoded decoded = ReadBmp(BmpFile(Rle(8, -2, 1, data)));
  ASSERT_TRUE(decoded.ok) << decoded.messages;
  EXPECT_EQ("", decoded.messages);
  EXPECT_EQ(Bytes({70, 70, 70, 70, 70, 10, 20, 30, 10, 0, 0, 0, 0, 0, 0, 0}), Reds(decoded));
}

TEST(BmpRead, Rle4AlternatesNibblesHighFirst) {
  Bytes data = {5, 0x12, 0, 3, 0x34, 0x50, 0, 1};
  EXPECT_EQ(Bytes({10, 20, 10, 20, 10, 30, 40, 50}), Reds(ReadBmp(BmpFile(Rle(8, -1, 2, data)))));
}

TEST(BmpRead, RunsStayInsideTheImage) {
  // Runs past a row's end go on in the next row, encoded and absolute
  // ones alike; a line end after a row filled to its end does nothing, one
  // inside a row starts the next; rows past the last are dropped.
  const struct {
    Bytes data;
    Bytes reds;
  } wraps[] = {{{4, 1, 0, 0, 1, 2, 0, 0, 9, 3, 0, 1}, {10, 10, 10, 10, 0, 0, 20, 0, 0}},
               {{2, 1, 0, 4, 2, 3, 2, 3, 3, 4, 0, 1}, {10, 10, 20, 30, 20, 30, 40, 40, 40}},
               {{3, 1, 0, 0, 3, 2, 0, 0, 3, 3, 0, 1}, {10, 10, 10, 20, 20, 20, 30, 30, 30}}};
  for (const auto& wrap : wraps) EXPECT_EQ(wrap.reds, Reds(ReadBmp(BmpFile(Rle(3, -3, 1, wrap.data)))));
  // A delta moves right and down, and is reported.
  Decoded moved = ReadBmp(BmpFile(Rle(3, -2, 1, {1, 1, 0, 2, 1, 1, 1, 2, 0, 1})));
  EXPECT_TRUE(moved.ok);
  EXPECT_EQ(Bytes({10, 0, 0, 0, 0, 20}), Reds(moved));
  EXPECT_EQ(Warning(DELTA), moved.messages);
  // Data that ends before the image does fails; data that ends after it
  // without the end escape does not.
  for (const Bytes& shortData : {Bytes({3, 1, 0, 0, 2, 1}), Bytes({0, 3, 1, 2})}) {
    Decoded cut = ReadBmp(BmpFile(Rle(3, -2, 1, shortData)));
    EXPECT_FALSE(cut.ok);
    EXPECT_EQ(Warning(CORRUPT), cut.messages);
  }
  EXPECT_TRUE(ReadBmp(BmpFile(Rle(3, -2, 1, {3, 1, 0, 0, 3, 2}))).ok);
}

TEST(BmpRead, RefusalsAndTheirMessages) {
  const std::string os2 = "Can't handle file \"b.bmp\". Perhaps it is an unsupported OS/2 bitmap or just a corrupt one.";
  Bytes good = BmpFile(Bitmap(1, 1, 24, {1, 2, 3, 0}));
  auto changed = [&](size_t at, unsigned char value) {
    Bytes file = good;
    file[at] = value;
    return ReadBmp(file);
  };
  EXPECT_EQ(Warning(os2), changed(1, 'A').messages);
  EXPECT_EQ(Warning(os2), changed(14, 12).messages);  // the 12-byte header of OS/2 bitmaps
  EXPECT_EQ(Warning("Can't handle file \"b.bmp\". This bitmap specifies an unsupported color depth"),
            changed(28, 2).messages);
  EXPECT_EQ(Warning(CORRUPT), ReadBmp(Bytes()).messages);
  EXPECT_EQ(Warning(CORRUPT), ReadBmp(Bytes(good.begin(), good.begin() + 30)).messages);
  EXPECT_EQ(Warning(CORRUPT), ReadBmp(Bytes(good.begin(), good.end() - 1)).messages);
  EXPECT_EQ(Warning(CORRUPT), changed(22, 0).messages);  // height 0
  // Compressions without a decoder, or one that does not fit the bit
  // count, fail without a message.
  Decoded unknown = changed(30, 4);
  EXPECT_FALSE(unknown.ok);
  EXPECT_EQ("", unknown.messages);
  EXPECT_FALSE(changed(30, 1).ok);
}

TEST(BmpCanRead, TheFileHeaderDecidesAndTheStreamStaysPut) {
  lum::LLoader_Image_BMP loader;
  for (const char* signature : {"BM", "BA", "CI", "CP", "IC", "PT", "BX"}) {
    Bytes file = BmpFile(Bitmap(1, 1, 24, {1, 2, 3, 0}));
    file[0] = signature[0];
    file[1] = signature[1];
    NamedStream stream(file, "b.bmp");
    EXPECT_EQ(std::string(signature) != "BX", loader.CanRead(stream)) << signature;
    EXPECT_EQ(0u, stream.GetPosition());
  }
  Bytes reserved = BmpFile(Bitmap(1, 1, 24, {1, 2, 3, 0}));
  reserved[7] = 1;
  NamedStream stream(reserved, "b.bmp");
  EXPECT_FALSE(loader.CanRead(stream));
}
