// The JNG decoder on the test data's files, checked against their reference
// decodes, and on files built here chunk by chunk.
#include <algorithm>
#include <atomic>
#include <random>
#include <thread>
#include <utility>

#include "DeflateBomb.h"
#include "JpegTestSupport.h"
#include "kor/CoreServices/Interfaces/IOutputStream.h"
#include "lum/Image/LLoader_Image_JNG.h"
#include "lum/Image/LPngGreyInPlace.h"
#include "lum/LImageSaveOptions.h"

using lum::LData_Image;

namespace {

const int W = 16, H = 8;

// Loaders hold no state: one serves every test.
lum::LLoader_Image_JNG loader;

class JngDecoder : public CodecTest {
 protected:
  bool Read(const Bytes& file, LData_Image& image, uint64_t deliverable = UINT64_MAX) {
    TestStream stream(file, "test.jng", deliverable);
    return loader.Read(stream, image, nullptr);
  }
  // Reads a file that must fail, returning the warnings it gave.
  std::string Refusal(const Bytes& file, uint64_t deliverable = UINT64_MAX) {
    LData_Image image;
    EXPECT_FALSE(Read(file, image, deliverable));
    std::string text = sink.Text();
    sink.Clear();
    return text;
  }
  static Bytes Colour(int width = W, int height = H) {
    return LibjpegEncode(Pattern(width, height, 3), width, height, 3, JCS_RGB, 90);
  }
  static Bytes Grey(int width = W, int height = H, unsigned seed = 1) {
    return LibjpegEncode(Pattern(width, height, 1, seed), width, height, 1, JCS_GRAYSCALE, 90);
  }
  static Bytes File(const Jhdr& header, const std::vector<Bytes>& chunks) {
    std::vector<Bytes> all = {Chunk("JHDR", header.Data())};
    all.insert(all.end(), chunks.begin(), chunks.end());
    all.push_back(Chunk("IEND", {}));
    return JngFile(all);
  }
  static Jhdr Header(unsigned char colorType, unsigned char alphaDepth = 8, unsigned char alphaCompression = 0) {
    Jhdr header;
    header.colorType = colorType;
    header.alphaDepth = alphaDepth;
    header.alphaCompression = alphaCompression;
    return header;
  }
  // The alpha bytes of a decoded A8B8G8R8 record.
  static std::vector<unsigned> Alphas(const LData_Image& image) {
    std::vector<unsigned> alphas;
    for (int i = 0; i < W * H; ++i) alphas.push_back(image.imageData->pixels[4 * i]);
    return alphas;
  }
};

const std::string CORRUPT_ALPHA = "Can't handle file \"test.jng\". The embedded alpha channel stream is corrupt.";
const std::string CUT_SHORT = "File \"test.jng\" is corrupt. The file ends before its IEND chunk";
const std::string NOT_DEFLATE = "File \"test.jng\" is corrupt. Files in png format must use the deflate compression scheme.";

// 8-bit grey samples as zlib-deflated PNG rows, in the passes of Adam7 when
// interlaced; row j of each pass is filtered with type j % 5 (none, Sub, Up,
// Average, Paeth), so that the alpha must go through every unfilter.
Bytes FilteredAlpha(const std::vector<unsigned>& samples, int width, int height, bool interlaced) {
  const int adam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  const int whole[1][4] = {{0, 0, 1, 1}};
  const int (*passes)[4] = interlaced ? adam7 : whole;
  Bytes raw;
  for (int p = 0; p < (interlaced ? 7 : 1); ++p) {
    std::vector<int> prior;
    for (int y = passes[p][1], j = 0; y < height; y += passes[p][3], ++j) {
      std::vector<int> row;
      for (int x = passes[p][0]; x < width; x += passes[p][2]) row.push_back(int(samples[size_t(y) * width + x]));
      if (row.empty()) break;
      if (prior.empty()) prior.assign(row.size(), 0);
      int type = j % 5;
      raw.push_back(static_cast<unsigned char>(type));
      for (size_t i = 0; i < row.size(); ++i) {
        int a = i ? row[i - 1] : 0, b = prior[i], c = i ? prior[i - 1] : 0;
        int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        int predictor[5] = {0, a, b, (a + b) / 2, paeth};
        raw.push_back(static_cast<unsigned char>(row[i] - predictor[type]));
      }
      prior = row;
    }
  }
  uLongf size = compressBound(uLong(raw.size()));
  Bytes deflated(size);
  compress2(deflated.data(), &size, raw.data(), uLong(raw.size()), 9);
  deflated.resize(size);
  return deflated;
}

}  // namespace

TEST_F(JngDecoder, TestDataFilesDecodeToTheirReferences) {
  SKIP_WITHOUT_TESTDATA("imagemagick/jng");
  const char* const names[] = {"input_gray", "input_gray_prog", "input_gray_idat", "input_gray_prog_idat",
                               "input_gray_jdaa", "input_gray_prog_jdaa", "input_rose", "input_prog",
                               "input_idat", "input_prog_idat", "input_jdaa", "input_prog_jdaa"};
  for (const char* name : names) {
    std::string file = name;
    bool grey = file.find("gray") != std::string::npos;
    bool alpha = file.find("idat") != std::string::npos || file.find("jdaa") != std::string::npos;
    int width, height;
    Bytes rgba;
    ASSERT_TRUE(ReadPngRgba(TestDataPath("imagemagick/jng-reference/" + file + ".png"), width, height, rgba));
    LData_Image image;
    ASSERT_TRUE(Read(ReadFileBytes(TestDataPath("imagemagick/jng/" + file + ".jng")), image)) << name;
    EXPECT_EQ("", sink.Text()) << name;
    int expected = grey ? (alpha ? lum::TEXTURE_FORMAT_A8L8 : lum::TEXTURE_FORMAT_L8)
                        : (alpha ? lum::TEXTURE_FORMAT_A8B8G8R8 : lum::TEXTURE_FORMAT_X8B8G8R8);
    ASSERT_EQ(expected, image.format) << name;
    ASSERT_EQ(width, image.imageData->width);
    ASSERT_EQ(height, image.imageData->height);
    // Each pixel in the reference's red, green, blue, alpha.
    Bytes ours;
    const unsigned char* p = image.imageData->pixels;
    for (int i = 0; i < width * height; ++i) {
      if (expected == lum::TEXTURE_FORMAT_L8) ours.insert(ours.end(), {p[i], p[i], p[i], 255});
      else if (grey) ours.insert(ours.end(), {p[2 * i + 1], p[2 * i + 1], p[2 * i + 1], p[2 * i]});
      else ours.insert(ours.end(), {p[4 * i + 3], p[4 * i + 2], p[4 * i + 1], p[4 * i]});
    }
    EXPECT_TRUE(ours == rgba) << name;
  }
}

TEST_F(JngDecoder, TheHeaderGivesTheFormatOfReadInfo) {
  const struct {
    unsigned char colorType, sampleDepth;
    int format;
  } cases[] = {{8, 8, lum::TEXTURE_FORMAT_L8},        {8, 12, lum::TEXTURE_FORMAT_L16},
               {10, 8, lum::TEXTURE_FORMAT_X8B8G8R8}, {10, 12, lum::TEXTURE_FORMAT_A16B16G16R16},
               {12, 8, lum::TEXTURE_FORMAT_A8L8},     {12, 12, lum::TEXTURE_FORMAT_A8L8},
               {14, 8, lum::TEXTURE_FORMAT_A8B8G8R8}, {14, 12, lum::TEXTURE_FORMAT_A16B16G16R16}};
  for (const auto& c : cases) {
    Jhdr header = Header(c.colorType);
    header.sampleDepth = c.sampleDepth;
    header.width = 70000;
    Bytes file = File(header, {});
    TestStream stream(file);
    LData_Image image;
    ASSERT_TRUE(loader.ReadInfo(stream, image, nullptr));
    EXPECT_EQ(c.format, image.format) << int(c.colorType) << "/" << int(c.sampleDepth);
    EXPECT_EQ(70000, image.imageData->width);
    EXPECT_EQ(nullptr, image.imageData->pixels);
  }
}

TEST_F(JngDecoder, CanReadTakesTheSignatureOnlyAndLeavesTheStreamWhereItWas) {
  Bytes jng = File(Header(10), {Chunk("JDAT", Colour())});
  Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0};
  Bytes five(jng.begin(), jng.begin() + 5);
  TestStream jngStream(jng), pngStream(png), shortStream(five);
  EXPECT_TRUE(loader.CanRead(jngStream));
  EXPECT_FALSE(loader.CanRead(pngStream));
  shortStream.SeekForward(2);
  EXPECT_FALSE(loader.CanRead(shortStream));
  EXPECT_EQ(0u, jngStream.GetPosition());
  EXPECT_EQ(0u, pngStream.GetPosition());
  EXPECT_EQ(2u, shortStream.GetPosition());
}

TEST_F(JngDecoder, HeaderRefusalsSayWhy) {
  Bytes good = File(Header(10), {Chunk("JDAT", Colour())});
  Bytes png = good;
  png[0] = 0x89;
  EXPECT_EQ(Warning("Can't handle \"test.jng\". This is not a jng file"), Refusal(png));
  Bytes ihdr = good;
  ihdr[12] = 'I';
  EXPECT_EQ(Warning("File \"test.jng\" is corrupt. The first chunk in a jng file must be the JHDR chunk"),
            Refusal(ihdr));
  Bytes altered = good;
  altered[16 + 3] ^= 1;
  EXPECT_EQ(Warning("File \"test.jng\" is corrupt. CRC failed in JHDR chunk"), Refusal(altered));
  EXPECT_EQ(Warning("File \"test.jng\" is corrupt. It uses an unknown color type"),
            Refusal(File(Header(6), {Chunk("JDAT", Colour())})));
  // Short reads fail the step whose bytes are missing.
  EXPECT_EQ(Warning("Can't handle \"test.jng\". This is not a jng file"), Refusal(good, 7));
  EXPECT_EQ(Warning("File \"test.jng\" is corrupt. The first chunk in a jng file must be the JHDR chunk"),
            Refusal(good, 15));
  EXPECT_EQ(Warning("File \"test.jng\" is corrupt. CRC failed in JHDR chunk"), Refusal(good, 35));
  EXPECT_EQ(Warning(CUT_SHORT), Refusal(good, good.size() - 1));
  // Sizes that do not fit a signed 32-bit value are refused by ReadInfo too.
  for (uint32_t side : {0x80000000u, 0xFFFFFFFFu}) {
    Jhdr header = Header(10);
    header.height = side;
    Bytes file = File(header, {Chunk("JDAT", Colour())});
    TestStream stream(file);
    LData_Image image;
    EXPECT_FALSE(loader.ReadInfo(stream, image, nullptr));
    EXPECT_EQ(nullptr, image.imageData);
    sink.Clear();
    EXPECT_EQ(Warning("File \"test.jng\" is corrupt. Its width or height is too large"), Refusal(file));
  }
}

TEST_F(JngDecoder, TheChunkWalkTakesJdatUpToJsepAndNeedsAWholeFile) {
  Bytes jpeg = Colour();
  JpegPixels expected = LibjpegDecode(jpeg);
  size_t third = jpeg.size() / 3;
  Bytes split = File(Header(10), {Chunk("JDAT", Bytes(jpeg.begin(), jpeg.begin() + third)), Chunk("tEXt", {'a', 0}),
                                  Chunk("JDAT", Bytes(jpeg.begin() + third, jpeg.end() - 1)),
                                  Chunk("JDAT", Bytes(jpeg.end() - 1, jpeg.end())), Chunk("JSEP", {}),
                                  Chunk("JDAT", Grey()), Chunk("IDAT", {1, 2, 3})});
  split[split.size() - 40] ^= 0x55;  // inside the JDAT after JSEP, and its CRC is wrong now
  LData_Image image;
  ASSERT_TRUE(Read(split, image));
  ASSERT_EQ(lum::TEXTURE_FORMAT_X8B8G8R8, image.format);
  for (int i = 0; i < W * H; ++i)
    for (int c = 0; c < 3; ++c) ASSERT_EQ(expected.pixels[3 * i + c], image.imageData->pixels[4 * i + 3 - c]) << i;

  Bytes noIend = JngFile({Chunk("JHDR", Header(10).Data()), Chunk("JDAT", jpeg)});
  EXPECT_EQ(Warning(CUT_SHORT), Refusal(noIend));
  EXPECT_EQ(Warning(CUT_SHORT), Refusal(Bytes(split.begin(), split.begin() + 100)));
  Bytes huge = File(Header(10), {Chunk("JDAT", jpeg)});
  huge[36] = 0xFF, huge[37] = 0xFF, huge[38] = 0xFF, huge[39] = 0xF0;  // the JDAT length
  EXPECT_EQ(Warning(CUT_SHORT), Refusal(huge));
  EXPECT_EQ(Warning("File \"test.jng\" is corrupt. It has no JDAT chunk"),
            Refusal(File(Header(10), {Chunk("tEXt", {'a', 0})})));
}

// A deflated alpha split over chunks around the colour stream's is one
// stream, whether it is larger than the colour stream (gathered in the
// file's own bytes) or smaller (copied).
TEST_F(JngDecoder, AlphaSplitAroundTheColourStreamIsOneStream) {
  const int side = 64;
  Bytes jpeg = LibjpegEncode(Bytes(side * side * 3, 100), side, side, 3, JCS_RGB, 90);
  Jhdr header = Header(14);
  header.width = header.height = side;
  for (bool noise : {true, false}) {
    std::vector<unsigned> samples(side * side, 7);
    if (noise)
      for (size_t i = 0; i < samples.size(); ++i) samples[i] = (unsigned(i) * 2654435761u) >> 24;
    Bytes idat = DeflatedRows(samples, side, side, 8);
    ASSERT_EQ(noise, idat.size() > jpeg.size());
    size_t third = idat.size() / 3;
    Bytes file = File(header, {Chunk("IDAT", Bytes(idat.begin(), idat.begin() + third)), Chunk("tEXt", {'a', 0}),
                               Chunk("IDAT", Bytes(idat.begin() + third, idat.begin() + 2 * third)),
                               Chunk("JDAT", jpeg), Chunk("IDAT", {}),
                               Chunk("IDAT", Bytes(idat.begin() + 2 * third, idat.end()))});
    LData_Image image;
    ASSERT_TRUE(Read(file, image)) << noise;
    EXPECT_EQ("", sink.Text());
    for (int i = 0; i < side * side; ++i) ASSERT_EQ(samples[i], image.imageData->pixels[4 * i]) << noise << " " << i;
    LData_Image whole;
    ASSERT_TRUE(Read(File(header, {Chunk("IDAT", idat), Chunk("JDAT", jpeg)}), whole));
    EXPECT_TRUE(Bytes(image.imageData->pixels, image.imageData->pixels + 4 * side * side) ==
                Bytes(whole.imageData->pixels, whole.imageData->pixels + 4 * side * side));
  }
}

TEST_F(JngDecoder, AColourOnlyFileIgnoresItsAlphaFields) {
  LData_Image image;
  ASSERT_TRUE(Read(File(Header(10, 8, 3), {Chunk("JDAT", Colour())}), image));
  EXPECT_EQ(W, image.imageData->width);
  EXPECT_EQ("", sink.Text());
}

// ReadInfo reports the JHDR's size: a colour stream of another size would
// make Read allocate and deliver what was never announced.
TEST_F(JngDecoder, AColourStreamOfAnotherSizeThanTheHeaderIsRefused) {
  const std::string differs =
      Warning("File \"test.jng\" is corrupt. The size in its JHDR chunk is not the size of its colour stream");
  for (unsigned char colorType : {10, 14}) {
    Jhdr wider = Header(colorType);
    wider.width = W + 5;
    EXPECT_EQ(differs, Refusal(File(wider, {Chunk("JDAT", Colour())}))) << int(colorType);
    Jhdr huge = Header(colorType);
    huge.width = huge.height = 30000;
    EXPECT_EQ(differs, Refusal(File(huge, {Chunk("JDAT", Colour())}))) << int(colorType);
  }
  Jhdr smaller = Header(8);
  smaller.height = H - 1;
  EXPECT_EQ(differs, Refusal(File(smaller, {Chunk("JDAT", Grey())})));
}

// The alpha's interlace and filter fields: Adam7 data is read pass by pass,
// each row unfiltered by its own type; the filter method itself is not
// examined, and an interlace method that does not exist is refused.
TEST_F(JngDecoder, TheAlphaInterlaceFieldChoosesTheRowOrder) {
  std::vector<unsigned> samples(W * H);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = unsigned(i * 53 + i / W * 7) & 0xFF;
  const struct {
    unsigned char interlace, filter;
  } cases[] = {{0, 0}, {1, 0}, {1, 64}};
  for (const auto& c : cases) {
    Jhdr header = Header(14);
    header.alphaInterlace = c.interlace;
    header.alphaFilter = c.filter;
    LData_Image image;
    ASSERT_TRUE(Read(File(header, {Chunk("IDAT", FilteredAlpha(samples, W, H, c.interlace == 1)),
                                   Chunk("JDAT", Colour())}),
                     image))
        << int(c.interlace) << "/" << int(c.filter);
    EXPECT_EQ(samples, Alphas(image)) << int(c.interlace) << "/" << int(c.filter);
    EXPECT_EQ("", sink.Text());
  }
  // Interlaced data read as if it were not, and the other way round, is
  // either too short or other samples.
  for (unsigned char interlace : {0, 1}) {
    Jhdr header = Header(14);
    header.alphaInterlace = interlace;
    LData_Image image;
    if (Read(File(header, {Chunk("IDAT", FilteredAlpha(samples, W, H, interlace == 0)), Chunk("JDAT", Colour())}),
             image)) {
      EXPECT_NE(samples, Alphas(image)) << int(interlace);
    }
    sink.Clear();
  }
  Jhdr unknown = Header(14);
  unknown.alphaInterlace = 2;
  EXPECT_EQ(Warning("Can't handle file \"test.jng\". The specified interlacing method is invalid or not supported.") +
                Warning(CORRUPT_ALPHA),
            Refusal(File(unknown, {Chunk("IDAT", FilteredAlpha(samples, W, H, false)), Chunk("JDAT", Colour())})));
}

// An alpha stream of a few megabytes that inflates to 2 GiB: the decoder
// takes the bytes the alpha needs and warns about the rest.
TEST_F(JngDecoder, ADeflateBombInTheAlphaCostsOnlyTheAlphasBytes) {
  Bytes bomb = {0x78, 0x9C};
  Bytes body = DeflateBomb(uint64_t(2) << 30);
  bomb.insert(bomb.end(), body.begin(), body.end());
  Bytes file = File(Header(14), {Chunk("IDAT", bomb), Chunk("JDAT", Colour())});
  LData_Image image;
  uint64_t largestBefore = services->Pool().m_maximumSize;
  ASSERT_TRUE(Read(file, image));
  EXPECT_EQ(std::vector<unsigned>(W * H, 0), Alphas(image));
  EXPECT_EQ(Warning("More image data than the image needs. \"test.jng\" may be a corrupt png file"), sink.Text());
  // The file's bytes, read and then gathered, are the largest blocks.
  EXPECT_LE(services->Pool().m_maximumSize, std::max<uint64_t>(largestBefore, file.size()));
}

TEST_F(JngDecoder, DeflatedAlphaOfEveryDepthIsScaledToBytes) {
  std::vector<unsigned> ramp(W * H);
  for (int depth : {1, 2, 4, 8, 16}) {
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = unsigned(i * 37) & ((1u << depth) - 1);
    if (depth == 16) ramp[0] = 0xFFFF, ramp[1] = 0x0100, ramp[2] = 0x8000;
    LData_Image image;
    ASSERT_TRUE(Read(File(Header(14, depth), {Chunk("IDAT", DeflatedRows(ramp, W, H, depth)),
                                              Chunk("JDAT", Colour())}),
                     image))
        << depth;
    EXPECT_EQ(lum::TEXTURE_FORMAT_A8B8G8R8, image.format);
    std::vector<unsigned> expected;
    for (unsigned sample : ramp) expected.push_back(depth == 16 ? sample / 257 : sample * (255 / ((1u << depth) - 1)));
    EXPECT_EQ(expected, Alphas(image)) << depth;
  }
}

TEST_F(JngDecoder, GreyWithAlphaBecomesAlphaThenGrey) {
  Bytes jpeg = Grey();
  Bytes greys = LibjpegDecode(jpeg).pixels;
  Bytes alphaJpeg = Grey(W, H, 9);
  Bytes alphas = LibjpegDecode(alphaJpeg).pixels;
  std::vector<unsigned> samples(alphas.begin(), alphas.end());
  for (unsigned char method : {0, 8}) {
    Bytes alphaChunk = method == 0 ? Chunk("IDAT", DeflatedRows(samples, W, H, 8)) : Chunk("JDAA", alphaJpeg);
    LData_Image image;
    ASSERT_TRUE(Read(File(Header(12, 8, method), {alphaChunk, Chunk("JDAT", jpeg)}), image)) << int(method);
    ASSERT_EQ(lum::TEXTURE_FORMAT_A8L8, image.format);
    for (int i = 0; i < W * H; ++i) {
      ASSERT_EQ(alphas[i], image.imageData->pixels[2 * i]) << i;
      ASSERT_EQ(greys[i], image.imageData->pixels[2 * i + 1]) << i;
    }
  }
}

TEST_F(JngDecoder, AlphaThatCannotBePlacedIsRefused) {
  std::vector<unsigned> samples(W * H, 200);
  Bytes idat = Chunk("IDAT", DeflatedRows(samples, W, H, 8));
  EXPECT_EQ(Warning("Can't handle file \"test.jng\". The alpha channel type specified is not supported."),
            Refusal(File(Header(14, 8, 3), {idat, Chunk("JDAT", Colour())})));
  // The alpha holds fewer rows than the image.
  std::vector<unsigned> shortSamples(W * (H - 1), 9);
  EXPECT_EQ(Warning(NOT_DEFLATE) + Warning(CORRUPT_ALPHA),
            Refusal(File(Header(14), {Chunk("IDAT", DeflatedRows(shortSamples, W, H - 1, 8)),
                                      Chunk("JDAT", Colour(W, H))})));
  EXPECT_EQ(Warning(CORRUPT_ALPHA), Refusal(File(Header(14, 8, 8), {Chunk("JDAA", Grey(W, H - 1)),
                                                                     Chunk("JDAT", Colour())})));
  EXPECT_EQ(Warning(CORRUPT_ALPHA), Refusal(File(Header(14, 8, 8), {Chunk("JDAA", Colour()), Chunk("JDAT", Colour())})));
  // A JPEG alpha whose header claims 30000 x 30000 is refused by its header,
  // before pixels are made for it: its scan is far too short for the blocks
  // it claims, which the JPEG bridge raises as its error.
  Bytes claims = Grey();
  for (size_t i = 0; i + 9 <= claims.size(); ++i)
    if (claims[i] == 0xFF && claims[i + 1] == 0xC0) {
      claims[i + 5] = claims[i + 7] = 30000 >> 8;
      claims[i + 6] = claims[i + 8] = 30000 & 0xFF;
      break;
    }
  uint64_t largestBefore = services->Pool().m_maximumSize;
  try {
    LData_Image image;
    Read(File(Header(14, 8, 8), {Chunk("JDAA", claims), Chunk("JDAT", Colour())}), image);
    ADD_FAILURE() << "no error";
  } catch (const kor::ErrorDescription& error) {
    EXPECT_STREQ("Error during JPEG decompression", error.GetMessage());
  }
  sink.Clear();
  EXPECT_LT(services->Pool().m_maximumSize, std::max<uint64_t>(largestBefore, 1 << 20));
  EXPECT_EQ(Warning(NOT_DEFLATE) + Warning(CORRUPT_ALPHA),
            Refusal(File(Header(14), {Chunk("IDAT", {0x78, 0x00, 1, 2}), Chunk("JDAT", Colour())})));
  EXPECT_EQ(Warning(NOT_DEFLATE) + Warning(CORRUPT_ALPHA),
            Refusal(File(Header(14), {Chunk("IDAT", {0x78, 0x9C, 0xFF}), Chunk("JDAT", Colour())})));
}

TEST_F(JngDecoder, AFourComponentColourStreamDropsTheAlpha) {
  Bytes cmyk = LibjpegEncode(Pattern(W, H, 4), W, H, 4, JCS_CMYK, 90);
  std::vector<unsigned> samples(W * H, 7);
  LData_Image image;
  ASSERT_TRUE(Read(File(Header(14), {Chunk("IDAT", DeflatedRows(samples, W, H, 8)), Chunk("JDAT", cmyk)}), image));
  EXPECT_EQ(lum::TEXTURE_FORMAT_A8B8G8R8, image.format);
  EXPECT_TRUE(LibjpegDecode(cmyk).pixels == Bytes(image.imageData->pixels, image.imageData->pixels + W * H * 4));
}

TEST_F(JngDecoder, AColourStreamLibjpegRefusesRaisesItsError) {
  Bytes jpeg = Colour();
  jpeg[1] = 0x00;  // no start-of-image marker
  LData_Image image;
  try {
    Read(File(Header(14), {Chunk("JDAT", jpeg)}), image);
    ADD_FAILURE() << "no error";
  } catch (const kor::ErrorDescription& error) {
    EXPECT_STREQ("Error during JPEG decompression", error.GetMessage());
  }
}

TEST_F(JngDecoder, AttachAlphaMergesOnlyAnAlphaOfTheImagesOwnSize) {
  LData_Image image;
  image.format = lum::TEXTURE_FORMAT_X8B8G8R8;
  image.SetImageData(new lum::LData_ImagePart(2, 1));
  image.imageData->SetPixels(new unsigned char[8]{255, 1, 2, 3, 255, 4, 5, 6});
  LData_Image alpha;
  alpha.format = lum::TEXTURE_FORMAT_L16;
  alpha.SetImageData(new lum::LData_ImagePart(1, 1));
  alpha.imageData->SetPixels(new unsigned char[4]{0xFF, 0xFF, 0x00, 0x01});
  EXPECT_FALSE(lum::LLoader_Image_JNG::AttachAlpha(alpha, image));
  alpha.imageData->width = 2;
  ASSERT_TRUE(lum::LLoader_Image_JNG::AttachAlpha(alpha, image));
  EXPECT_EQ(lum::TEXTURE_FORMAT_A8B8G8R8, image.format);
  EXPECT_EQ(Bytes({255, 1, 2, 3, 0, 4, 5, 6}), Bytes(image.imageData->pixels, image.imageData->pixels + 8));
}

TEST_F(JngDecoder, AColourStreamCutShortInsideItsChunkLoadsWithAWarning) {
  Bytes colour = LibjpegEncode(Pattern(W, 64, 3), W, 64, 3, JCS_RGB, 90);
  colour.resize(colour.size() * 2 / 3);
  Jhdr header = Header(10);
  header.height = 64;
  LData_Image image;
  ASSERT_TRUE(Read(File(header, {Chunk("JDAT", colour)}), image));
  EXPECT_EQ(Warning("File \"test.jng\" is corrupt. Its JPEG data ends before the image does."), sink.Text());
  // The rows before the cut are kept: the first row is not black.
  const unsigned char* first = image.imageData->pixels;
  EXPECT_TRUE(first[1] != 0 || first[2] != 0 || first[3] != 0);
}

// ---------------------------------------------------------------------------
// The alpha decoded on a second thread beside the colour, against the same
// files decoded one after the other on the calling thread.

namespace {

const std::string MORE_DATA = "More image data than the image needs. \"test.jng\" may be a corrupt png file";
const std::string ENDS_EARLY = "File \"test.jng\" is corrupt. Its JPEG data ends before the image does.";
const int BIG = 1024;

// Counts the messages that begin on a thread other than the one that made
// the sink: the host must hear everything on the thread that called.
class ForeignThreadSink : public kor::IMessageSink {
 public:
  void Lock() override {}
  void Unlock() override {}
  void BeginMessage() override { m_foreign += std::this_thread::get_id() != m_owner; }
  void Write(const kor::UBaseString<unsigned char>&) override {}
  void EndMessage() override {}
  int Foreign() const { return m_foreign; }

 private:
  std::thread::id m_owner = std::this_thread::get_id();
  std::atomic<int> m_foreign{0};
};

class CollectingStream : public kor::IOutputStream {
 public:
  uint64_t Serialize(const void* buffer, uint64_t size) override {
    bytes.insert(bytes.end(), static_cast<const unsigned char*>(buffer), static_cast<const unsigned char*>(buffer) + size);
    return size;
  }
  void Close() override {}
  bool IsOpen() override { return true; }
  kor::UString GetName() override { return kor::UString("out.jng"); }
  void Flush() override {}
  Bytes bytes;
};

// What a Read ends with: its result or its error with the functions it
// passed, the warnings in order, and the record.
struct ReadOutcome {
  std::string result;
  std::string warnings;
  int format = 0;
  int width = 0;
  Bytes pixels;
  bool operator==(const ReadOutcome& other) const {
    return result == other.result && warnings == other.warnings && format == other.format && width == other.width &&
           pixels == other.pixels;
  }
};

// A file's chunks after the signature, as type and data.
std::vector<std::pair<std::string, Bytes>> ChunksOf(const Bytes& file) {
  std::vector<std::pair<std::string, Bytes>> chunks;
  for (size_t at = 8; at + 12 <= file.size();) {
    size_t length = size_t(file[at]) << 24 | size_t(file[at + 1]) << 16 | size_t(file[at + 2]) << 8 | file[at + 3];
    chunks.emplace_back(std::string(file.begin() + at + 4, file.begin() + at + 8),
                        Bytes(file.begin() + at + 8, file.begin() + at + 8 + length));
    at += 12 + length;
  }
  return chunks;
}

Bytes Cut(const Bytes& bytes, double share) { return Bytes(bytes.begin(), bytes.begin() + size_t(bytes.size() * share)); }

}  // namespace

class ParallelAlpha : public JngDecoder {
 protected:
  ReadOutcome ReadWith(const Bytes& file, bool parallel) {
    uint64_t before = lum::LLoader_Image_JNG::SetParallelAlphaPixels(parallel ? 0 : UINT64_MAX);
    uint64_t twoPartsBefore = lum::SetGreyInTwoPartsPixels(parallel ? 0 : UINT64_MAX);
    ReadOutcome outcome;
    LData_Image image;
    try {
      outcome.result = Read(file, image) ? "true" : "false";
    } catch (const kor::ErrorDescription& error) {
      outcome.result = std::string(error.GetMessage()) + " / " + error.GetHistory();
    }
    lum::LLoader_Image_JNG::SetParallelAlphaPixels(before);
    lum::SetGreyInTwoPartsPixels(twoPartsBefore);
    outcome.warnings = sink.Text();
    sink.Clear();
    outcome.format = image.format;
    if (image.imageData) {
      outcome.width = image.imageData->width;
      if (image.imageData->pixels)
        outcome.pixels.assign(image.imageData->pixels,
                              image.imageData->pixels + size_t(image.imageData->width) * image.imageData->height *
                                                            lum::LData_Image::BytesPerPixel(image.format));
    }
    return outcome;
  }
  // Both ways; the outcome, which must be the same.
  ReadOutcome ReadBothWays(const Bytes& file, const std::string& label) {
    ForeignThreadSink foreign;
    kor::IMessageSink* channel = services->Services().GetChannel(7);
    static_cast<kor::UMessageChannel*>(channel)->AddListener(&foreign);
    ReadOutcome sequential = ReadWith(file, false);
    ReadOutcome parallel = ReadWith(file, true);
    static_cast<kor::UMessageChannel*>(channel)->RemoveListener(&foreign);
    EXPECT_EQ(0, foreign.Foreign()) << label;
    EXPECT_EQ(sequential.result, parallel.result) << label;
    EXPECT_EQ(sequential.warnings, parallel.warnings) << label;
    EXPECT_TRUE(sequential == parallel) << label;
    return parallel;
  }
  // A large image written by our own writer: colour and alpha, or grey and
  // alpha, the alpha deflated or as a JPEG stream.
  static Bytes Written(int format, bool alphaAsJpeg) {
    LData_Image image;
    image.format = format;
    image.SetImageData(new lum::LData_ImagePart(BIG, BIG));
    Bytes pixels = Pattern(BIG, BIG, lum::LData_Image::BytesPerPixel(format), 5);
    image.imageData->SetPixels(new unsigned char[pixels.size()]);
    std::copy(pixels.begin(), pixels.end(), image.imageData->pixels);
    lum::LImageSaveOptions options;
    options.alphaAsJpeg = alphaAsJpeg;
    CollectingStream output;
    EXPECT_TRUE(loader.Write(output, image, &options));
    return output.bytes;
  }
  // A file of the written one's chunks, the alpha and the colour data
  // replaced where given, in a JHDR of the given alpha fields.
  static Bytes Rebuilt(const Bytes& written, const Bytes* alpha, const Bytes* colour, unsigned char alphaDepth = 8,
                       int alphaCompression = -1) {
    std::vector<Bytes> chunks;
    for (auto& chunk : ChunksOf(written)) {
      Bytes data = chunk.second;
      if (chunk.first == "JHDR") {
        data[12] = alphaDepth;
        if (alphaCompression >= 0) data[13] = static_cast<unsigned char>(alphaCompression);
      }
      if ((chunk.first == "IDAT" || chunk.first == "JDAA") && alpha) data = *alpha;
      if (chunk.first == "JDAT" && colour) data = *colour;
      chunks.push_back(Chunk(chunk.first.c_str(), data));
    }
    return JngFile(chunks);
  }
  static Bytes DataOf(const Bytes& file, const std::string& type) {
    for (auto& chunk : ChunksOf(file))
      if (chunk.first == type) return chunk.second;
    return {};
  }
};

TEST_F(ParallelAlpha, EveryTestFileDecodesAsItDoesOneAfterTheOther) {
  SKIP_WITHOUT_TESTDATA("imagemagick/jng");
  std::vector<std::string> paths = {std::string(LUM_SOURCE_DIR) + "/samples/ring.jng"};
  for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("imagemagick/jng")))
    if (entry.path().extension() == ".jng") paths.push_back(entry.path().string());
  ASSERT_GE(paths.size(), 13u);
  for (const std::string& path : paths) {
    Bytes file = ReadFileBytes(path);
    ASSERT_FALSE(file.empty()) << path;
    EXPECT_EQ("true", ReadBothWays(file, path).result) << path;
  }
}

// Large files, where Read takes a thread of itself: whole ones, and ones
// whose alpha or colour or both are damaged. The messages come as when the
// alpha is decoded first: the alpha's, then the colour's; a failed alpha is
// the outcome, and the colour says nothing then.
TEST_F(ParallelAlpha, LargeFilesGiveTheSameResultsAndMessagesInTheSameOrder) {
  Bytes colourIdat = Written(lum::TEXTURE_FORMAT_A8B8G8R8, false);
  Bytes colourJdaa = Written(lum::TEXTURE_FORMAT_A8B8G8R8, true);
  Bytes greyIdat = Written(lum::TEXTURE_FORMAT_A8L8, false);
  Bytes greyJdaa = Written(lum::TEXTURE_FORMAT_A8L8, true);
  Bytes jdat = DataOf(colourIdat, "JDAT");
  Bytes shortJdat = Cut(jdat, 0.6);
  // Two components: the header reads, the decode raises.
  Bytes twoComponents = LibjpegEncode(Pattern(BIG, BIG, 2), BIG, BIG, 2, JCS_UNKNOWN, 90);
  std::vector<unsigned> samples(size_t(BIG) * (BIG + 1));
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = unsigned(i * 7 + i / BIG * 3) & 0xFF;
  Bytes paeth = FilteredAlpha(samples, BIG, BIG, false);
  Bytes extraRows = FilteredAlpha(samples, BIG, BIG + 1, false);
  std::vector<unsigned> wide(samples.begin(), samples.begin() + size_t(BIG) * BIG);
  for (unsigned& sample : wide) sample = sample * 257 + 3;
  Bytes wideAlpha = DeflatedRows(wide, BIG, BIG, 16);
  // Rows of every filter type, those of None and Sub splitting the restore.
  std::mt19937 random(9);
  std::vector<unsigned> noise(samples.size());
  for (unsigned& sample : noise) sample = random() & 0xFF;
  Bytes noisy = FilteredAlpha(noise, BIG, BIG + 1, false);
  Bytes cutIdat = Cut(DataOf(colourIdat, "IDAT"), 0.5);
  Bytes jdaa = DataOf(colourJdaa, "JDAA");
  Bytes shortJdaa = Cut(jdaa, 0.6);
  Bytes damagedJdaa = jdaa;
  damagedJdaa.insert(damagedJdaa.end() - 200, {0xFF, 0xD3});  // a restart marker in a stream without restarts
  Bytes smallerJdaa = LibjpegEncode(Pattern(BIG, BIG - 1, 1), BIG, BIG - 1, 1, JCS_GRAYSCALE, 90);
  Bytes twoComponentAlpha = twoComponents;
  Bytes noHeader = {0xFF, 0xD8, 0xFF};
  const std::string jpegError = "Error during JPEG decompression";
  const std::string corrupt = Warning(NOT_DEFLATE) + Warning(CORRUPT_ALPHA);
  const std::string damaged = Warning("File \"test.jng\" is corrupt. Its JPEG data is damaged.");
  const struct {
    const char* label;
    Bytes file;
    std::string result;  // "true", "false" or the start of the error
    std::string warnings;
  } cases[] = {
      {"colour, deflated alpha", colourIdat, "true", ""},
      {"colour, JPEG alpha", colourJdaa, "true", ""},
      {"grey, deflated alpha", greyIdat, "true", ""},
      {"grey, JPEG alpha", greyJdaa, "true", ""},
      {"Paeth rows", Rebuilt(colourIdat, &paeth, nullptr), "true", ""},
      {"16-bit alpha", Rebuilt(colourIdat, &wideAlpha, nullptr, 16), "true", ""},
      {"noisy alpha, too long", Rebuilt(colourIdat, &noisy, nullptr), "true", Warning(MORE_DATA)},
      {"grey, 16-bit alpha", Rebuilt(greyIdat, &wideAlpha, nullptr, 16), "true", ""},
      {"alpha too long, colour cut short", Rebuilt(colourIdat, &extraRows, &shortJdat), "true",
       Warning(MORE_DATA) + Warning(ENDS_EARLY)},
      {"JPEG alpha and colour cut short", Rebuilt(colourJdaa, &shortJdaa, &shortJdat), "true",
       Warning(ENDS_EARLY) + Warning(ENDS_EARLY)},
      // One stream's warning is its own, whichever handle decodes the next.
      {"JPEG alpha cut short", Rebuilt(colourJdaa, &shortJdaa, nullptr), "true", Warning(ENDS_EARLY)},
      {"JPEG alpha damaged", Rebuilt(colourJdaa, &damagedJdaa, nullptr), "true", damaged},
      {"JPEG alpha damaged, colour cut short", Rebuilt(colourJdaa, &damagedJdaa, &shortJdat), "true",
       damaged + Warning(ENDS_EARLY)},
      {"colour cut short after a whole JPEG alpha", Rebuilt(colourJdaa, nullptr, &shortJdat), "true",
       Warning(ENDS_EARLY)},
      {"alpha too long, colour raises", Rebuilt(colourIdat, &extraRows, &twoComponents), jpegError,
       Warning(MORE_DATA)},
      {"alpha cut short", Rebuilt(colourIdat, &cutIdat, nullptr), "false", corrupt},
      {"alpha cut short, colour cut short", Rebuilt(colourIdat, &cutIdat, &shortJdat), "false", corrupt},
      {"alpha cut short, colour raises", Rebuilt(colourIdat, &cutIdat, &twoComponents), "false", corrupt},
      {"JPEG alpha of another size", Rebuilt(colourJdaa, &smallerJdaa, &shortJdat), "false", Warning(CORRUPT_ALPHA)},
      {"JPEG alpha raises", Rebuilt(colourJdaa, &twoComponentAlpha, nullptr), jpegError, ""},
      {"JPEG alpha raises, colour cut short", Rebuilt(colourJdaa, &twoComponentAlpha, &shortJdat), jpegError, ""},
      {"JPEG alpha raises, colour raises", Rebuilt(colourJdaa, &twoComponentAlpha, &twoComponents), jpegError, ""},
      {"JPEG alpha header raises, colour raises", Rebuilt(colourJdaa, &noHeader, &twoComponents),
       jpegError + " / " + "ReadJpegHeader", ""},
      {"unknown alpha method", Rebuilt(colourIdat, nullptr, &shortJdat, 8, 3), "false",
       Warning("Can't handle file \"test.jng\". The alpha channel type specified is not supported.")},
  };
  for (const auto& c : cases) {
    ReadOutcome outcome = ReadBothWays(c.file, c.label);
    std::string expected = c.result.substr(0, c.result.find(" / "));
    EXPECT_EQ(expected, outcome.result.substr(0, expected.size())) << c.label;
    // The error named is the alpha's when the alpha raised.
    if (expected != c.result) {
      EXPECT_NE(std::string::npos, outcome.result.find(c.result.substr(c.result.find(" / ") + 3))) << c.label;
    }
    EXPECT_EQ(c.warnings, outcome.warnings) << c.label;
    if (c.result == "false") {
      EXPECT_TRUE(outcome.pixels.empty()) << c.label;
    }
  }
  // The deflated alpha arrives whole in every row, alpha first in a pixel.
  const struct {
    int format;
    const Bytes* file;
  } written[] = {{lum::TEXTURE_FORMAT_A8B8G8R8, &colourIdat}, {lum::TEXTURE_FORMAT_A8L8, &greyIdat}};
  for (const auto& w : written) {
    const int pixelBytes = lum::LData_Image::BytesPerPixel(w.format);
    Bytes pattern = Pattern(BIG, BIG, pixelBytes, 5);
    ReadOutcome outcome = ReadWith(*w.file, true);
    ASSERT_EQ(pattern.size(), outcome.pixels.size()) << w.format;
    size_t wrong = 0;
    for (size_t i = 0; i < pattern.size(); i += pixelBytes) wrong += outcome.pixels[i] != pattern[i];
    EXPECT_EQ(0u, wrong) << w.format;
  }
}
