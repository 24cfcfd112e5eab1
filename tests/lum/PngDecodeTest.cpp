// The PNG reader on files that libpng writes (every colour type, depth,
// filter and interlace method) and on files built by hand for what libpng
// never writes: broken chunks, short data, missing palettes, odd headers.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>

#include "DeflateBomb.h"
#include "PngTestSupport.h"
#include "RecordingSink.h"
#include "TestServices.h"
#include "lum/Image/LPngFilter.h"
#include "lum/Image/LPngGreyInPlace.h"

namespace {

struct Combination {
  int colorType;
  int bitDepth;
};

const Combination ALL_COMBINATIONS[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8},  {2, 16}, {3, 1},
                                        {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

// A non-interlaced file of image's rows, every row with filter byte 0, the
// palette as given.
Bytes SimpleFile(const RawPng& image) {
  std::vector<Bytes> chunks = {HeaderChunk(image.width, image.height, image.bitDepth, image.colorType)};
  if (!image.palette.empty()) chunks.push_back(Chunk("PLTE", image.palette));
  chunks.push_back(Chunk("IDAT", ZlibStream(UnfilteredData(image))));
  chunks.push_back(Chunk("IEND", {}));
  return PngFile(chunks);
}

// The IDAT chunk of a file replaced by one holding data.
Bytes WithImageData(const RawPng& image, const Bytes& data) {
  return PngFile({HeaderChunk(image.width, image.height, image.bitDepth, image.colorType), Chunk("IDAT", data),
                  Chunk("IEND", {})});
}

RawPng Grey8(uint32_t width, uint32_t height) { return RandomImage(width, height, 0, 8, 5); }

const std::string CORRUPT = "File \"image.png\" is corrupt. ";
const std::string NOT_DEFLATE = CORRUPT + "Files in png format must use the deflate compression scheme.";
const std::string CUT_SHORT = CORRUPT + "The file ends before its IEND chunk";
const std::string TOO_LARGE = "Can't handle file \"image.png\". The image is too large.";
const std::string TOO_WIDE = CORRUPT + "Its width or height is too large";
const std::string DATA_TOO_SHORT = CORRUPT + "Its image data is too short for the size in its header";
const std::string MORE_DATA = "More image data than the image needs. \"image.png\" may be a corrupt png file";

}  // namespace

// ---------------------------------------------------------------------------
// Pixels

TEST(PngDecode, EveryColourTypeDepthFilterAndInterlaceMatchesLibpng) {
  const uint32_t sizes[][2] = {{1, 1}, {2, 3}, {5, 9}, {12, 1}, {13, 7}, {37, 29}, {70, 5}};
  const int filters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH,
                         PNG_ALL_FILTERS};
  uint32_t seed = 1;
  for (const Combination& c : ALL_COMBINATIONS)
    for (int interlace = 0; interlace <= 1; ++interlace)
      for (const auto& size : sizes)
        for (int filter : filters) {
          RawPng image = RandomImage(size[0], size[1], c.colorType, c.bitDepth, ++seed);
          image.interlace = interlace;
          Bytes file = EncodeWithLibpng(image, filter);
          RawPng byLibpng;
          ASSERT_TRUE(DecodeWithLibpng(file, byLibpng));
          Decoded ours = DecodeOurs(file);
          SCOPED_TRACE(testing::Message() << "colour type " << c.colorType << ", depth " << c.bitDepth
                                          << ", interlace " << interlace << ", " << size[0] << "x" << size[1]
                                          << ", filters " << filter);
          ASSERT_TRUE(ours.ok);
          EXPECT_EQ(ExpectedFormat(c.colorType, c.bitDepth), ours.format);
          EXPECT_EQ(static_cast<int>(size[0]), ours.width);
          EXPECT_EQ(static_cast<int>(size[1]), ours.height);
          EXPECT_EQ(ExpectedPixels(byLibpng), ours.pixels);
          EXPECT_EQ(ExpectedPixels(image), ours.pixels);
          EXPECT_EQ("", ours.messages);
        }
}

TEST(PngDecode, RowsPastOneRestoringBatchMatchLibpng) {
  // Wide enough for runs of rows restored together at every step, tall
  // enough for several batches in the first pass. Grey rows in place are
  // restored in two parts wherever libpng's filter choice allows it.
  const Combination combinations[] = {{3, 8}, {4, 8}, {2, 8}, {6, 8}, {4, 16}, {6, 16}, {0, 8}, {0, 16}};
  const uint64_t twoPartsBefore = lum::SetGreyInTwoPartsPixels(0);
  uint32_t seed = 100;
  for (const Combination& c : combinations)
    for (int interlace = 0; interlace <= 1; ++interlace)
      for (int filter : {PNG_FILTER_PAETH, PNG_FILTER_AVG, PNG_ALL_FILTERS, PNG_FILTER_SUB}) {
        RawPng image = RandomImage(530, 300, c.colorType, c.bitDepth, ++seed);
        image.interlace = interlace;
        Decoded ours = DecodeOurs(EncodeWithLibpng(image, filter));
        ASSERT_TRUE(ours.ok);
        EXPECT_EQ(ExpectedPixels(image), ours.pixels) << "colour type " << c.colorType << ", depth " << c.bitDepth
                                                      << ", interlace " << interlace << ", filters " << filter;
      }
  lum::SetGreyInTwoPartsPixels(twoPartsBefore);
}

TEST(PngDecode, SamplesBecomeTheRecordLayout) {
  // Grey of depth 2 is scaled to the whole byte range.
  RawPng grey2 = RandomImage(4, 1, 0, 2, 1);
  grey2.rows[0] = {0x1B};  // samples 0, 1, 2, 3
  EXPECT_EQ((Bytes{0, 85, 170, 255}), DecodeOurs(SimpleFile(grey2)).pixels);

  // 16-bit grey and alpha: alpha first, each divided by 257.
  RawPng greyAlpha16 = RandomImage(1, 1, 4, 16, 1);
  greyAlpha16.rows[0] = {0xFF, 0xFF, 0x80, 0x00};
  EXPECT_EQ((Bytes{127, 255}), DecodeOurs(SimpleFile(greyAlpha16)).pixels);

  // 16-bit words in machine order, and the alpha of RGB made opaque.
  RawPng rgb16 = RandomImage(1, 1, 2, 16, 1);
  rgb16.rows[0] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
  Decoded decoded = DecodeOurs(SimpleFile(rgb16));
  uint16_t words[4];
  ASSERT_EQ(8u, decoded.pixels.size());
  std::memcpy(words, decoded.pixels.data(), 8);
  EXPECT_EQ(0xFFFF, words[0]);
  EXPECT_EQ(0x9ABC, words[1]);
  EXPECT_EQ(0x5678, words[2]);
  EXPECT_EQ(0x1234, words[3]);

  // 8-bit colour: filler 255 or alpha, then blue, green, red.
  RawPng rgb8 = RandomImage(1, 1, 2, 8, 1);
  rgb8.rows[0] = {10, 20, 30};
  EXPECT_EQ((Bytes{255, 30, 20, 10}), DecodeOurs(SimpleFile(rgb8)).pixels);
  RawPng rgba8 = RandomImage(1, 1, 6, 8, 1);
  rgba8.rows[0] = {10, 20, 30, 40};
  EXPECT_EQ((Bytes{40, 30, 20, 10}), DecodeOurs(SimpleFile(rgba8)).pixels);
}

TEST(PngDecode, UnknownFilterTypeLeavesTheRowAsItIs) {
  RawPng image = Grey8(3, 2);
  image.rows = {{1, 2, 3}, {4, 5, 6}};
  Bytes data = {0, 1, 2, 3, 9, 4, 5, 6};
  Decoded decoded = DecodeOurs(WithImageData(image, ZlibStream(data)));
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ((Bytes{1, 2, 3, 4, 5, 6}), decoded.pixels);
}

// The filters as the format defines them, one byte at a time.
void ReferenceUnfilter(int filterType, Bytes& row, const Bytes* prior, size_t bpp) {
  for (size_t i = 0; i < row.size(); ++i) {
    int a = i >= bpp ? row[i - bpp] : 0;
    int b = prior ? (*prior)[i] : 0;
    int c = prior && i >= bpp ? (*prior)[i - bpp] : 0;
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    const int predictors[] = {0, a, b, (a + b) / 2, paeth};
    row[i] = static_cast<unsigned char>(row[i] + (filterType <= 4 ? predictors[filterType] : 0));
  }
}

// Bytes that often tie in Paeth's distances and reach the ends of the range.
Bytes FilterTestBytes(size_t length, std::mt19937& random) {
  const unsigned char edges[] = {0, 1, 2, 127, 128, 129, 253, 254, 255};
  Bytes bytes(length);
  for (unsigned char& byte : bytes)
    byte = static_cast<unsigned char>(random() % 2 ? random() : edges[random() % sizeof(edges)]);
  return bytes;
}

TEST(PngDecode, EveryFilterStepAndLengthRestoresAsDefined) {
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 70; ++n) lengths.push_back(n);
  // Past the blocks and chunks the fast paths work in.
  for (size_t n : {71u, 72u, 73u, 79u, 80u, 81u, 95u, 96u, 97u, 103u, 104u, 105u, 150u, 257u, 1000u, 4099u})
    lengths.push_back(n);
  std::mt19937 random(11);
  for (int filterType = 0; filterType <= 5; ++filterType)
    for (size_t bpp = 1; bpp <= 8; ++bpp)
      for (size_t length : lengths)
        for (bool firstRow : {false, true}) {
          Bytes prior = FilterTestBytes(length, random);
          Bytes expected = FilterTestBytes(length, random);
          Bytes ours = expected;
          ReferenceUnfilter(filterType, expected, firstRow ? nullptr : &prior, bpp);
          lum::UnfilterPngRow(filterType, ours.data(), firstRow ? nullptr : prior.data(), length, bpp);
          ASSERT_EQ(expected, ours) << "filter " << filterType << ", " << bpp << " bytes a pixel, length "
                                    << length << (firstRow ? ", first row" : "");
        }
}

TEST(PngDecode, RowsRestoredTogetherMatchRowByRow) {
  // Runs of Paeth and Average rows go two at a time, and runs of Paeth rows
  // up to eight at a time, each row a chunk of bytes behind the one above:
  // lengths about one, two, three and eight chunks of every step, with gaps
  // between rows and batches ending inside a pair or run. Rows shorter than
  // a chunk pair Paeth rows a pixel apart, from a pixel and a word on.
  std::vector<size_t> lengths = {1,  2,  3,   4,   5,   6,   7,   8,   9,   10,  11,  12, 13,
                                 16, 31, 200, 289, 512, 513, 514, 516, 520, 577, 600, 1000};
  for (size_t n = 63; n <= 80; ++n) lengths.push_back(n);
  for (size_t n : {127u, 128u, 129u, 130u, 131u, 132u, 133u, 136u, 146u, 147u, 148u, 150u, 193u, 196u, 219u, 222u})
    lengths.push_back(n);
  const struct {
    const char* name;
    std::vector<int> types;  // drawn from at random per row
  } mixes[] = {{"Paeth", {4}},
               {"Average", {3}},
               {"Paeth and Average", {3, 4}},
               {"every type", {0, 1, 2, 3, 4, 5, 4, 3, 4}}};
  std::mt19937 random(23);
  for (const auto& mix : mixes)
    for (size_t bpp = 1; bpp <= 8; ++bpp)
      for (size_t length : lengths)
        for (size_t rowCount : {1u, 2u, 3u, 5u, 9u, 12u})
          for (bool firstRow : {false, true}) {
            size_t stride = length + 1 + random() % 3;
            Bytes prior = FilterTestBytes(length, random);
            Bytes expected = FilterTestBytes(rowCount * stride, random);
            for (size_t j = 0; j < rowCount; ++j)
              expected[j * stride] = static_cast<unsigned char>(mix.types[random() % mix.types.size()]);
            Bytes ours = expected;
            const unsigned char* above = firstRow ? nullptr : prior.data();
            for (size_t j = 0; j < rowCount; ++j) {
              lum::UnfilterPngRow(expected[j * stride], &expected[j * stride + 1], above, length, bpp);
              above = &expected[j * stride + 1];
            }
            lum::UnfilterPngRows(ours.data(), firstRow ? nullptr : prior.data(), rowCount, length, stride, bpp);
            ASSERT_EQ(expected, ours) << mix.name << ", " << bpp << " bytes a pixel, length " << length << ", "
                                      << rowCount << " rows" << (firstRow ? ", first row" : "");
          }
}

TEST(PngDecode, FirstRowOfEveryPassIsFilteredAgainstZeros) {
  // Up on a first row adds nothing; Average adds half the left byte; Paeth
  // becomes Sub. The second row then predicts from the first.
  RawPng image = Grey8(3, 2);
  Bytes data = {2, 5, 6, 7, 3, 10, 10, 10};
  EXPECT_EQ((Bytes{5, 6, 7, 12, 19, 23}), DecodeOurs(WithImageData(image, ZlibStream(data))).pixels);
  data = {3, 8, 8, 8, 4, 1, 1, 1};
  // Row 0: 8, 8 + 4, 8 + 6; row 1 by Paeth: 1 + 8, then a = 9, b = 12, c = 8 gives b.
  EXPECT_EQ((Bytes{8, 12, 14, 9, 13, 15}), DecodeOurs(WithImageData(image, ZlibStream(data))).pixels);
}

// ---------------------------------------------------------------------------
// Palettes

TEST(PngDecode, TheLastPaletteBeforeTheEndIsUsed) {
  RawPng image = RandomImage(2, 1, 3, 8, 1);
  image.rows[0] = {0, 1};
  Bytes data = ZlibStream(UnfilteredData(image));
  Bytes file = PngFile({HeaderChunk(2, 1, 8, 3), Chunk("PLTE", {1, 2, 3, 4, 5, 6}), Chunk("IDAT", data),
                        Chunk("PLTE", {10, 20, 30, 40, 50, 60}), Chunk("IEND", {}),
                        Chunk("PLTE", {7, 7, 7, 7, 7, 7})});
  EXPECT_EQ((Bytes{255, 30, 20, 10, 255, 60, 50, 40}), DecodeOurs(file).pixels);
}

TEST(PngDecode, IndicesBeyondThePaletteAreOpaqueBlack) {
  RawPng image = RandomImage(3, 1, 3, 8, 1);
  image.rows[0] = {0, 1, 255};
  Bytes data = ZlibStream(UnfilteredData(image));
  // Two entries and one stray byte; then no palette at all.
  Bytes shortPalette = PngFile({HeaderChunk(3, 1, 8, 3), Chunk("PLTE", {1, 2, 3, 4, 5, 6, 7}),
                                Chunk("IDAT", data), Chunk("IEND", {})});
  Decoded decoded = DecodeOurs(shortPalette);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ((Bytes{255, 3, 2, 1, 255, 6, 5, 4, 255, 0, 0, 0}), decoded.pixels);

  Bytes noPalette = PngFile({HeaderChunk(3, 1, 8, 3), Chunk("IDAT", data), Chunk("IEND", {})});
  decoded = DecodeOurs(noPalette);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ((Bytes{255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0}), decoded.pixels);
}

// ---------------------------------------------------------------------------
// Chunks

TEST(PngDecode, ChunksOtherThanTheFourAndTheirCrcsAreIgnored) {
  RawPng image = RandomImage(9, 4, 2, 8, 3);
  Bytes data = ZlibStream(UnfilteredData(image));
  // The image data split over three chunks, one with a wrong CRC, among
  // chunks the reader skips (transparency among them).
  Bytes broken = Chunk("IDAT", Bytes(data.begin() + 5, data.begin() + 9));
  broken.back() ^= 0xFF;
  Bytes file = PngFile({HeaderChunk(9, 4, 8, 2), Chunk("tRNS", {0, 1, 0, 2, 0, 3}),
                        Chunk("IDAT", Bytes(data.begin(), data.begin() + 5)), Chunk("tEXt", {'a', 0, 'b'}), broken,
                        Chunk("IDAT", Bytes(data.begin() + 9, data.end())), Chunk("IEND", {})});
  Decoded decoded = DecodeOurs(file);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(ExpectedPixels(image), decoded.pixels);
}

TEST(PngDecode, ChunksReachingPastTheFileEndAreReported) {
  RawPng image = Grey8(4, 4);
  Bytes file = SimpleFile(image);
  Bytes withoutEnd(file.begin(), file.end() - 12);
  // The IDAT length (after the signature and IHDR) one byte more than the file holds.
  Bytes tooLong(file.begin(), file.begin() + 33);
  AppendBigEndian32(tooLong, static_cast<uint32_t>(file.size() - 33 - 12 + 1));
  tooLong.insert(tooLong.end(), file.begin() + 37, file.end());
  Bytes hugeLength = PngFile({HeaderChunk(4, 4, 8, 0)});
  AppendBigEndian32(hugeLength, 0xFFFFFFF0u);
  hugeLength.insert(hugeLength.end(), {'I', 'D', 'A', 'T', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  for (const Bytes& broken : {withoutEnd, tooLong, hugeLength}) {
    Decoded decoded = DecodeOurs(broken);
    EXPECT_FALSE(decoded.ok);
    EXPECT_EQ(Warning(CUT_SHORT), decoded.messages);
    EXPECT_EQ(lum::TEXTURE_FORMAT_L8, decoded.format);
  }
}

// ---------------------------------------------------------------------------
// Messages

TEST(PngDecode, CanReadLooksAtTheSignatureAndLeavesTheStreamWhereItWas) {
  lum::LLoader_Image_PNG loader;
  Bytes file = SimpleFile(Grey8(2, 2));
  Bytes shifted = Bytes{1, 2, 3};
  shifted.insert(shifted.end(), file.begin(), file.end());
  NamedStream stream(shifted, "x");
  EXPECT_FALSE(loader.CanRead(stream));
  EXPECT_EQ(0u, stream.GetPosition());
  stream.SeekForward(3);
  EXPECT_TRUE(loader.CanRead(stream));
  EXPECT_EQ(3u, stream.GetPosition());
  // A stream shorter than the signature is stepped back by what it gave.
  Bytes tiny(file.begin(), file.begin() + 4);
  NamedStream short_(tiny, "x");
  short_.SeekForward(1);
  EXPECT_FALSE(loader.CanRead(short_));
  EXPECT_EQ(1u, short_.GetPosition());
  EXPECT_TRUE(loader.CanWrite(lum::TEXTURE_FORMAT_L8));
}

TEST(PngDecode, HeaderFaults) {
  Bytes file = SimpleFile(Grey8(2, 2));

  Bytes notPng = file;
  notPng[1] = 'Q';
  Decoded decoded = DecodeOurs(notPng, "picture.png");
  EXPECT_FALSE(decoded.ok);
  EXPECT_EQ(Warning("Can't handle \"picture.png\". This is not a png file"), decoded.messages);
  EXPECT_FALSE(decoded.hasPart);
  EXPECT_EQ(Warning("Can't handle \"picture.png\". This is not a png file"),
            DecodeOurs(Bytes(file.begin(), file.begin() + 5), "picture.png").messages);

  Bytes notHeader = file;
  std::memcpy(&notHeader[12], "IDAT", 4);
  decoded = DecodeOurs(notHeader);
  EXPECT_FALSE(decoded.ok);
  EXPECT_EQ(Warning(CORRUPT + "The first chunk in a png file must be the IHDR chunk"), decoded.messages);
  EXPECT_EQ(Warning(CORRUPT + "The first chunk in a png file must be the IHDR chunk"),
            DecodeOurs(Bytes(file.begin(), file.begin() + 14)).messages);

  Bytes badCrc = file;
  badCrc[29] ^= 1;
  decoded = DecodeOurs(badCrc);
  EXPECT_FALSE(decoded.ok);
  EXPECT_EQ(Warning(CORRUPT + "CRC failed in IHDR chunk"), decoded.messages);
  EXPECT_EQ(Warning(CORRUPT + "CRC failed in IHDR chunk"),
            DecodeOurs(Bytes(file.begin(), file.begin() + 32)).messages);

  // Colour type 5 is refused after the image part was made.
  decoded = DecodeOurs(PngFile({HeaderChunk(7, 3, 8, 5), Chunk("IEND", {})}), "image.png", true);
  EXPECT_FALSE(decoded.ok);
  EXPECT_EQ(Warning(CORRUPT + "It uses an unknown color type"), decoded.messages);
  EXPECT_TRUE(decoded.hasPart);
  EXPECT_EQ(7, decoded.width);
  EXPECT_EQ(3, decoded.height);
}

TEST(PngDecode, ReadInfoGivesFormatAndSizeWithoutPixels) {
  for (const Combination& c : ALL_COMBINATIONS) {
    RawPng image = RandomImage(6, 5, c.colorType, c.bitDepth, 1);
    Decoded decoded = DecodeOurs(EncodeWithLibpng(image, PNG_ALL_FILTERS), "image.png", true);
    EXPECT_TRUE(decoded.ok);
    EXPECT_EQ(ExpectedFormat(c.colorType, c.bitDepth), decoded.format);
    EXPECT_EQ(6, decoded.width);
    EXPECT_EQ(5, decoded.height);
    EXPECT_TRUE(decoded.pixels.empty());
  }
}

TEST(PngDecode, InterlaceMethodOtherThanNoneOrAdamSeven) {
  RawPng image = Grey8(2, 2);
  Bytes file = PngFile({HeaderChunk(2, 2, 8, 0, 2), Chunk("IDAT", ZlibStream(UnfilteredData(image))),
                        Chunk("IEND", {})});
  Decoded decoded = DecodeOurs(file);
  EXPECT_FALSE(decoded.ok);
  EXPECT_EQ(Warning("Can't handle file \"image.png\". The specified interlacing method is invalid or not supported."),
            decoded.messages);
}

TEST(PngDecode, DepthsTheColourTypeDoesNotAllowAreRefused) {
  const Combination invalid[] = {{0, 3}, {0, 12}, {2, 4}, {3, 16}, {4, 4}, {6, 1}, {2, 0}};
  for (const Combination& c : invalid) {
    Bytes file = PngFile({HeaderChunk(3, 3, c.bitDepth, c.colorType), Chunk("IDAT", ZlibStream(Bytes(64, 0))),
                          Chunk("IEND", {})});
    Decoded decoded = DecodeOurs(file);
    EXPECT_FALSE(decoded.ok) << c.colorType << "/" << c.bitDepth;
    EXPECT_EQ(Warning(CORRUPT + "It uses an unknown color type"), decoded.messages);
  }
}

TEST(PngDecode, ZlibHeaderIsChecked) {
  RawPng image = Grey8(4, 3);
  Bytes data = ZlibStream(UnfilteredData(image));
  Bytes notDeflate = data;
  notDeflate[0] = 0x77;  // method 7
  Bytes badCheck = data;
  badCheck[1] ^= 1;
  for (const Bytes& stream : {notDeflate, badCheck, Bytes{0x78}, Bytes{}}) {
    Decoded decoded = DecodeOurs(WithImageData(image, stream));
    EXPECT_FALSE(decoded.ok);
    EXPECT_EQ(Warning(NOT_DEFLATE), decoded.messages);
  }
}

TEST(PngDecode, PresetDictionaryFlagIsReportedAndIgnored) {
  RawPng image = Grey8(4, 3);
  Bytes data = ZlibStream(UnfilteredData(image));
  data[1] = 0x20;
  while ((data[0] * 256 + data[1]) % 31 != 0) ++data[1];
  Decoded decoded = DecodeOurs(WithImageData(image, data));
  EXPECT_TRUE(decoded.ok);
  EXPECT_EQ(ExpectedPixels(image), decoded.pixels);
  EXPECT_EQ(Warning("Unexpected zLib dictionary found (there shouldn't be one). \"image.png\" may be a corrupt png file"),
            decoded.messages);
}

TEST(PngDecode, ImageDataThatEndsTooSoon) {
  RawPng image = RandomImage(5, 4, 6, 8, 2);
  Bytes raw = UnfilteredData(image);
  // Complete deflate data holding one byte less than the image needs.
  Decoded decoded = DecodeOurs(WithImageData(image, ZlibStream(Bytes(raw.begin(), raw.end() - 1))));
  EXPECT_FALSE(decoded.ok);
  EXPECT_EQ(Warning(NOT_DEFLATE), decoded.messages);
  // Deflate data cut short, or with a block of type 3.
  Bytes stream = ZlibStream(raw);
  decoded = DecodeOurs(WithImageData(image, Bytes(stream.begin(), stream.begin() + stream.size() / 2)));
  EXPECT_FALSE(decoded.ok);
  EXPECT_EQ(Warning(NOT_DEFLATE), decoded.messages);
  decoded = DecodeOurs(WithImageData(image, Bytes{0x78, 0x9C, 0x07, 0, 0, 0}));
  EXPECT_FALSE(decoded.ok);
  EXPECT_EQ(Warning(NOT_DEFLATE), decoded.messages);
  // More data than the image needs is only a warning; inflating stops where
  // the image is complete.
  raw.insert(raw.end(), 100, 7);
  decoded = DecodeOurs(WithImageData(image, ZlibStream(raw)));
  EXPECT_TRUE(decoded.ok);
  EXPECT_EQ(ExpectedPixels(image), decoded.pixels);
  EXPECT_EQ(Warning(MORE_DATA), decoded.messages);
}

// A few megabytes of image data that inflate to 2 GiB behind a header of
// 64 x 64 pixels: the read takes what the image needs and stops.
TEST(PngDecode, ADeflateBombCostsOnlyTheImagesBytes) {
  Bytes bomb = {0x78, 0x9C};
  Bytes body = DeflateBomb(uint64_t(2) << 30);
  bomb.insert(bomb.end(), body.begin(), body.end());
  Bytes file = PngFile({HeaderChunk(64, 64, 8, 0), Chunk("IDAT", bomb), Chunk("IEND", {})});
  RecordingSink sink;
  ScopedTestServices services;
  services.Services().GetChannel(7)->AddListener(&sink);
  {
    lum::LLoader_Image_PNG loader;
    lum::LData_Image record;
    NamedStream stream(file, "image.png");
    EXPECT_TRUE(loader.Read(stream, record, nullptr));
    ASSERT_NE(nullptr, record.imageData->pixels);
    EXPECT_EQ(Bytes(64 * 64, 0), Bytes(record.imageData->pixels, record.imageData->pixels + 64 * 64));
  }
  services.Services().GetChannel(7)->RemoveListener(&sink);
  EXPECT_EQ(Warning(MORE_DATA), sink.Text());
  // The file's own bytes are the largest block the read asked for.
  EXPECT_LE(services.Pool().m_maximumSize, file.size());
}

TEST(PngDecode, SizesNoBufferCanHoldAreRefusedBeforeAllocating) {
  Bytes data = ZlibStream(Bytes(1000, 0));
  const struct {
    uint32_t width, height;
    const std::string& message;
  } cases[] = {{0x7FFFFFFF, 0x7FFFFFFF, TOO_LARGE}, {40000, 40000, TOO_LARGE}, {0x80000000u, 1, TOO_WIDE},
               {1, 0xFFFFFFFFu, TOO_WIDE},
               // Sizes that fit are measured against the data before anything is made.
               {10000, 10000, DATA_TOO_SHORT}, {1000, 1000, DATA_TOO_SHORT}};
  for (const auto& c : cases) {
    Bytes file = PngFile({HeaderChunk(c.width, c.height, 8, 6), Chunk("IDAT", data), Chunk("IEND", {})});
    Decoded decoded = DecodeOurs(file);
    EXPECT_FALSE(decoded.ok) << c.width << "x" << c.height;
    EXPECT_FALSE(decoded.hasPixels) << c.width << "x" << c.height;
    EXPECT_EQ(Warning(c.message), decoded.messages) << c.width << "x" << c.height;
  }
  // Sizes that do not fit a signed 32-bit value are refused by the header
  // read itself, before they could turn negative.
  Decoded info = DecodeOurs(PngFile({HeaderChunk(0xFFFFFFFFu, 0xFFFFFFFFu, 8, 0)}), "image.png", true);
  EXPECT_FALSE(info.ok);
  EXPECT_FALSE(info.hasPart);
  EXPECT_EQ(Warning(TOO_WIDE), info.messages);
}

// ---------------------------------------------------------------------------
// Reads and memory

namespace {

// Delivers at most limit bytes in all, although its size says more.
class ShortStream : public NamedStream {
 public:
  ShortStream(const Bytes& bytes, uint64_t limit) : NamedStream(bytes, "image.png"), m_left(limit) {}
  uint64_t Serialize(void* buffer, uint64_t size) override {
    uint64_t count = NamedStream::Serialize(buffer, size < m_left ? size : m_left);
    m_left -= count;
    return count;
  }

 private:
  uint64_t m_left;
};

}  // namespace

TEST(PngDecode, ShortReadsFailTheirStep) {
  Bytes file = SimpleFile(Grey8(3, 3));
  ScopedTestServices services;
  lum::LLoader_Image_PNG loader;
  // The whole file but for its last byte arrives: the remainder is short.
  for (uint64_t limit : {uint64_t(7), uint64_t(15), uint64_t(32), uint64_t(file.size() - 1)}) {
    lum::LData_Image record;
    ShortStream stream(file, limit);
    EXPECT_FALSE(loader.Read(stream, record, nullptr)) << limit;
  }
  lum::LData_Image record;
  ShortStream whole(file, file.size());
  EXPECT_TRUE(loader.Read(whole, record, nullptr));
}

TEST(PngDecode, TheImageTableReadsPngFilesWithThisLoader) {
  Bytes file = SimpleFile(Grey8(2, 2));
  NamedStream stream(file, "image.png");
  lum::LLoader_Image* reader = lum::LLoader_Image::FindReader(stream);
  EXPECT_NE(nullptr, dynamic_cast<lum::LLoader_Image_PNG*>(reader));
  EXPECT_EQ(0u, stream.GetPosition());
}

// ---------------------------------------------------------------------------
// Decoding into a record of the caller's (the JNG alpha channel)

namespace {

// DecodeImageData of grey data for a header of headerWidth x headerHeight
// into an L8 record of partWidth x partHeight.
Bytes DecodeGreyInto(const RawPng& image, int partWidth, int partHeight, bool* ok) {
  lum::PngHeader header = {image.width, image.height, 8, 0, 0, 0, 0, 0};
  Bytes stream = ZlibStream(UnfilteredData(image));
  kor::UArray<unsigned char> data(static_cast<int>(stream.size()));
  std::memcpy(data.GetData(), stream.data(), stream.size());
  lum::LData_Image record;
  record.format = lum::TEXTURE_FORMAT_L8;
  record.SetImageData(new lum::LData_ImagePart(partWidth, partHeight));
  *ok = lum::LLoader_Image_PNG::DecodeImageData(header, data, "alpha", nullptr, record);
  const unsigned char* pixels = record.imageData->pixels;
  return pixels ? Bytes(pixels, pixels + partWidth * partHeight) : Bytes();
}

}  // namespace

TEST(PngDecode, DecodeImageDataWritesOnlyInsideTheRecordsPart) {
  ScopedTestServices services;
  RawPng image = Grey8(3, 2);
  image.rows = {{1, 2, 3}, {4, 5, 6}};
  bool ok = false;
  EXPECT_EQ((Bytes{1, 2, 3, 4, 5, 6}), DecodeGreyInto(image, 3, 2, &ok));
  EXPECT_TRUE(ok);
  // A smaller part takes what fits; a larger one is zero where the data
  // does not reach.
  EXPECT_EQ((Bytes{1, 2}), DecodeGreyInto(image, 2, 1, &ok));
  EXPECT_TRUE(ok);
  EXPECT_EQ((Bytes{1, 2, 3, 0, 4, 5, 6, 0, 0, 0, 0, 0}), DecodeGreyInto(image, 4, 3, &ok));
  EXPECT_TRUE(ok);
}

TEST(PngDecode, DecodeImageDataRaisesForARecordOfAnotherPixelSize) {
  ScopedTestServices services;
  lum::PngHeader header = {2, 2, 16, 0, 0, 0, 0, 0};
  Bytes stream = ZlibStream(Bytes(10, 0));
  kor::UArray<unsigned char> data(static_cast<int>(stream.size()));
  std::memcpy(data.GetData(), stream.data(), stream.size());
  lum::LData_Image record;
  record.format = lum::TEXTURE_FORMAT_L8;  // 16-bit grey needs L16
  record.SetImageData(new lum::LData_ImagePart(2, 2));
  EXPECT_THROW(lum::LLoader_Image_PNG::DecodeImageData(header, data, "alpha", nullptr, record),
               kor::ErrorDescription);
  record.format = lum::TEXTURE_FORMAT_L16;
  EXPECT_TRUE(lum::LLoader_Image_PNG::DecodeImageData(header, data, "alpha", nullptr, record));
}

// Grey rows restored where they were inflated, in batches, on one thread
// or in two parts on two where a row needs no row above it, as the filters
// define them: rows of every filter type, the part boundary anywhere from
// the second row to the last, images of one batch and of several.
TEST(PngDecode, GreyRowsRestoredInPlaceInOneOrTwoParts) {
  std::mt19937 random(5);
  const struct {
    const char* label;
    std::vector<int> types;  // cycled over the rows
  } patterns[] = {
      {"none stands alone", {4, 3, 2, 4, 0, 4, 4, 3}},
      {"sub stands alone", {1, 4, 4, 2, 3, 4, 1, 4}},
      {"every row stands alone", {0, 1}},
      {"no row stands alone", {4, 3, 2}},
      {"unknown types", {4, 7, 1, 5, 4}},
  };
  for (const auto& pattern : patterns)
    for (unsigned char depth : {8, 16})
      for (uint32_t width : {1u, 5u, 33u, 200u})
        for (uint32_t height : {2u, 3u, 9u, 40u, 700u}) {
          lum::PngHeader header = {width, height, depth, lum::PngHeader::COLOR_TYPE_GREY, 0, 0, 0, 0};
          const size_t rowBytes = size_t(width) * depth / 8, stride = rowBytes + 1;
          Bytes data = FilterTestBytes(stride * height, random);
          for (size_t j = 0; j < height; ++j)
            data[j * stride] = static_cast<unsigned char>(pattern.types[j % pattern.types.size()]);
          // Row by row, samples in machine order.
          Bytes expected;
          Bytes prior;
          for (size_t j = 0; j < height; ++j) {
            Bytes row(data.begin() + j * stride + 1, data.begin() + (j + 1) * stride);
            ReferenceUnfilter(data[j * stride], row, j ? &prior : nullptr, depth / 8);
            prior = row;
            for (size_t i = 0; i < rowBytes; i += depth / 8) {
              if (depth == 8) {
                expected.push_back(row[i]);
                continue;
              }
              uint16_t word = static_cast<uint16_t>(row[i] << 8 | row[i + 1]);
              unsigned char bytes[2];
              std::memcpy(bytes, &word, 2);
              expected.insert(expected.end(), bytes, bytes + 2);
            }
          }
          for (uint64_t twoPartsPixels : {uint64_t(0), UINT64_MAX}) {
            Bytes ours = data;
            uint64_t before = lum::SetGreyInTwoPartsPixels(twoPartsPixels);
            lum::ReconstructGreyInPlace(header, ours.data());
            lum::SetGreyInTwoPartsPixels(before);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), ours.begin()))
                << pattern.label << ", " << int(depth) << "-bit, " << width << " x " << height
                << (twoPartsPixels ? ", one part" : ", two parts");
          }
        }
}
