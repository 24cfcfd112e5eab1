// The JNG encoder: what its files hold chunk by chunk, that our decoder
// reads them back (alpha exactly when deflated, colour within JPEG error),
// and that a stream taking only part of the file makes the write fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "TestServices.h"
#include "WriterTestSupport.h"
#include "lum/Image/LLoader_Image_JNG.h"

namespace {

lum::LLoader_Image_JNG loader;

const int WRITABLE[] = {lum::TEXTURE_FORMAT_A8B8G8R8, lum::TEXTURE_FORMAT_X8B8G8R8, lum::TEXTURE_FORMAT_A8,
                        lum::TEXTURE_FORMAT_L8, lum::TEXTURE_FORMAT_A8L8};

bool HasAlpha(int format) {
  return format == lum::TEXTURE_FORMAT_A8B8G8R8 || format == lum::TEXTURE_FORMAT_A8L8;
}

int FormatBack(int format) { return format == lum::TEXTURE_FORMAT_A8 ? lum::TEXTURE_FORMAT_L8 : format; }

lum::LImageSaveOptions Options(bool alphaAsJpeg, bool texts) {
  lum::LImageSaveOptions options;
  options.compression = 0.0f;
  options.alphaCompression = 0.0f;
  options.alphaAsJpeg = alphaAsJpeg;
  if (texts) {
    options.title = "A title";
    options.comment = "Two words";
  }
  return options;
}

// Compares a decode with the record: alpha (byte 0 of the formats with
// alpha) exactly or within JPEG error, the rest within JPEG error, the
// filler of X8B8G8R8 as 255.
void ExpectCloseTo(const RecordPixels& record, const Bytes& back, bool alphaExact) {
  ASSERT_EQ(record.pixels.size(), back.size());
  int pixelBytes = lum::LData_Image::BytesPerPixel(record.format);
  int worst = 0;
  long total = 0;
  for (size_t at = 0; at < back.size(); ++at) {
    bool alpha = HasAlpha(record.format) && at % pixelBytes == 0;
    bool filler = record.format == lum::TEXTURE_FORMAT_X8B8G8R8 && at % pixelBytes == 0;
    if (filler) {
      ASSERT_EQ(255, back[at]) << at;
      continue;
    }
    if (alpha && alphaExact) {
      ASSERT_EQ(record.pixels[at], back[at]) << at;
      continue;
    }
    int difference = std::abs(int(record.pixels[at]) - int(back[at]));
    worst = std::max(worst, difference);
    total += difference;
  }
  EXPECT_LE(worst, 24);
  EXPECT_LE(total, long(back.size()) * 3);
}

// The JPEG markers before the scan, to see which segments a stream has.
std::vector<int> MarkersBeforeScan(const Bytes& jpeg) {
  std::vector<int> markers;
  size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    int marker = jpeg[at + 1];
    markers.push_back(marker);
    if (marker == 0xDA) break;
    at += 2 + ((size_t(jpeg[at + 2]) << 8) | jpeg[at + 3]);
  }
  return markers;
}

// Our decode as RGBA, the way libmng draws it.
Bytes AsRgba(int format, const Bytes& pixels) {
  Bytes rgba;
  int pixelBytes = lum::LData_Image::BytesPerPixel(format);
  for (size_t at = 0; at < pixels.size(); at += pixelBytes) {
    const unsigned char* p = &pixels[at];
    switch (format) {
      case lum::TEXTURE_FORMAT_A8B8G8R8: rgba.insert(rgba.end(), {p[3], p[2], p[1], p[0]}); break;
      case lum::TEXTURE_FORMAT_X8B8G8R8: rgba.insert(rgba.end(), {p[3], p[2], p[1], 255}); break;
      case lum::TEXTURE_FORMAT_A8L8: rgba.insert(rgba.end(), {p[1], p[1], p[1], p[0]}); break;
      default: rgba.insert(rgba.end(), {p[0], p[0], p[0], 255});
    }
  }
  return rgba;
}

const ParsedChunk* Find(const std::vector<ParsedChunk>& chunks, const std::string& type) {
  for (const ParsedChunk& chunk : chunks)
    if (chunk.type == type) return &chunk;
  return nullptr;
}

}  // namespace

TEST(JngWrite, EveryFormatWithBothAlphaCodingsAndTextsReadsBack) {
  for (int format : WRITABLE) {
    for (bool alphaAsJpeg : {false, true}) {
      for (bool texts : {false, true}) {
        SCOPED_TRACE(testing::Message() << "format " << format << (alphaAsJpeg ? ", JPEG alpha" : "")
                                        << (texts ? ", texts" : ""));
        RecordPixels record = PatternRecord(format, 37, 21, unsigned(format * 7 + alphaAsJpeg));
        lum::LImageSaveOptions options = Options(alphaAsJpeg, texts);
        bool written = false;
        Bytes file = WriteWith(loader, record, &options, &written);
        ASSERT_TRUE(written);
        for (const ParsedChunk& chunk : ParseChunks(file)) EXPECT_TRUE(chunk.crcGood) << chunk.type;
        Decoded back = DecodeWith(loader, file, "written.jng");
        ASSERT_TRUE(back.ok) << back.messages;
        EXPECT_EQ(FormatBack(format), back.format);
        EXPECT_EQ(37, back.width);
        EXPECT_EQ(21, back.height);
        ExpectCloseTo(record, back.pixels, !alphaAsJpeg);
      }
    }
  }
}

// Both decoders use libjpeg, so the colours agree closely; libmng leaves
// fully transparent pixels undrawn.
TEST(JngWrite, LibmngReadsTheSameImage) {
  for (int format : WRITABLE) {
    for (bool alphaAsJpeg : {false, true}) {
      SCOPED_TRACE(testing::Message() << "format " << format << (alphaAsJpeg ? ", JPEG alpha" : ""));
      RecordPixels record = PatternRecord(format, 19, 11, unsigned(format + 3));
      lum::LImageSaveOptions options = Options(alphaAsJpeg, true);
      Bytes file = WriteWith(loader, record, &options);
      int width = 0, height = 0;
      Bytes theirs;
      ASSERT_TRUE(DecodeWithLibmng(file, width, height, theirs));
      ASSERT_EQ(19, width);
      ASSERT_EQ(11, height);
      Decoded back = DecodeWith(loader, file, "written.jng");
      ASSERT_TRUE(back.ok) << back.messages;
      Bytes ours = AsRgba(back.format, back.pixels);
      ASSERT_EQ(ours.size(), theirs.size());
      int worst = 0;
      for (size_t at = 0; at < ours.size(); at += 4) {
        ASSERT_EQ(ours[at + 3], theirs[at + 3]) << "alpha of pixel " << at / 4;
        if (ours[at + 3] == 0) continue;
        for (int channel = 0; channel < 3; ++channel)
          worst = std::max(worst, std::abs(int(ours[at + channel]) - int(theirs[at + channel])));
      }
      EXPECT_LE(worst, 2);
    }
  }
}

TEST(JngWrite, GreyWithoutTextsIsHeaderColourStreamAndEnd) {
  RecordPixels record = PatternRecord(lum::TEXTURE_FORMAT_L8, 300, 2);
  Bytes file = WriteWith(loader, record, nullptr);
  const unsigned char signature[8] = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  ASSERT_GE(file.size(), 8u);
  EXPECT_TRUE(Bytes(signature, signature + 8) == Bytes(file.begin(), file.begin() + 8));
  std::vector<ParsedChunk> chunks = ParseChunks(file);
  ASSERT_EQ((std::vector<std::string>{"JHDR", "JDAT", "IEND"}), TypesOf(chunks));
  EXPECT_EQ((Bytes{0, 0, 1, 44, 0, 0, 0, 2, 8, 8, 8, 0, 0, 0, 0, 0}), chunks[0].data);
  // A grey baseline stream: one component in its frame header.
  std::vector<int> markers = MarkersBeforeScan(chunks[1].data);
  EXPECT_EQ(0xD8, chunks[1].data[1]);
  EXPECT_NE(markers.end(), std::find(markers.begin(), markers.end(), 0xC0));
}

TEST(JngWrite, AlphaChunkBeforeTheColourAndTheHeaderSaysHowItIsCoded) {
  lum::LImageSaveOptions deflated = Options(false, false);
  std::vector<ParsedChunk> colour =
      ParseChunks(WriteWith(loader, PatternRecord(lum::TEXTURE_FORMAT_A8B8G8R8, 5, 4), &deflated));
  ASSERT_EQ((std::vector<std::string>{"JHDR", "IDAT", "JDAT", "IEND"}), TypesOf(colour));
  EXPECT_EQ((Bytes{0, 0, 0, 5, 0, 0, 0, 4, 14, 8, 8, 0, 8, 0, 0, 0}), colour[0].data);
  Bytes rows;
  ASSERT_EQ(0x78, colour[1].data[0]);
  ASSERT_EQ(0xDA, colour[1].data[1]);
  ASSERT_TRUE(ZlibInflate(colour[1].data, rows));
  EXPECT_EQ(4u * (1 + 5), rows.size());  // one grey byte per pixel, each row Paeth
  for (size_t row = 0; row < 4; ++row) EXPECT_EQ(4, rows[row * 6]);

  lum::LImageSaveOptions jpeg = Options(true, false);
  std::vector<ParsedChunk> grey = ParseChunks(WriteWith(loader, PatternRecord(lum::TEXTURE_FORMAT_A8L8, 5, 4), &jpeg));
  ASSERT_EQ((std::vector<std::string>{"JHDR", "JDAA", "JDAT", "IEND"}), TypesOf(grey));
  EXPECT_EQ((Bytes{0, 0, 0, 5, 0, 0, 0, 4, 12, 8, 8, 0, 8, 8, 0, 0}), grey[0].data);

  lum::LImageSaveOptions ignored = Options(true, false);
  std::vector<ParsedChunk> opaque =
      ParseChunks(WriteWith(loader, PatternRecord(lum::TEXTURE_FORMAT_X8B8G8R8, 5, 4), &ignored));
  ASSERT_EQ((std::vector<std::string>{"JHDR", "JDAT", "IEND"}), TypesOf(opaque));
  EXPECT_EQ((Bytes{0, 0, 0, 5, 0, 0, 0, 4, 10, 8, 8, 0, 0, 0, 0, 0}), opaque[0].data);
}

TEST(JngWrite, TextsInOneChunkAfterTheHeaderAndNoneInTheStreams) {
  lum::LImageSaveOptions options = Options(true, true);
  std::vector<ParsedChunk> chunks =
      ParseChunks(WriteWith(loader, PatternRecord(lum::TEXTURE_FORMAT_A8B8G8R8, 8, 8), &options));
  ASSERT_EQ((std::vector<std::string>{"JHDR", "tEXt", "JDAA", "JDAT", "IEND"}), TypesOf(chunks));
  EXPECT_EQ(std::string("Title\0A title\0Comment\0Two words\0", 32),
            std::string(chunks[1].data.begin(), chunks[1].data.end()));
  for (int stream : {2, 3}) {
    std::vector<int> markers = MarkersBeforeScan(chunks[stream].data);
    EXPECT_EQ(markers.end(), std::find(markers.begin(), markers.end(), 0xFE)) << chunks[stream].type;
  }
}

TEST(JngWrite, EachStreamFollowsItsOwnCompression) {
  RecordPixels record = PatternRecord(lum::TEXTURE_FORMAT_A8L8, 64, 64);
  auto sizes = [&](float compression, float alphaCompression) {
    lum::LImageSaveOptions options = Options(true, false);
    options.compression = compression;
    options.alphaCompression = alphaCompression;
    std::vector<ParsedChunk> chunks = ParseChunks(WriteWith(loader, record, &options));
    return std::make_pair(Find(chunks, "JDAA")->data.size(), Find(chunks, "JDAT")->data.size());
  };
  auto best = sizes(0.0f, 0.0f);
  auto smallAlpha = sizes(0.0f, 0.9f);
  auto smallColour = sizes(0.9f, 0.0f);
  EXPECT_LT(smallAlpha.first, best.first);
  EXPECT_EQ(best.second, smallAlpha.second);
  EXPECT_LT(smallColour.second, best.second);
  EXPECT_EQ(best.first, smallColour.first);
}

TEST(JngWrite, TheRecordKeepsItsFormat) {
  std::unique_ptr<ScopedTestServices> services(new ScopedTestServices);
  RecordPixels record = PatternRecord(lum::TEXTURE_FORMAT_A8B8G8R8, 4, 4);
  lum::LData_Image data;
  data.format = record.format;
  data.SetImageData(new lum::LData_ImagePart(4, 4));
  unsigned char* pixels = new unsigned char[record.pixels.size()];
  std::copy(record.pixels.begin(), record.pixels.end(), pixels);
  data.imageData->SetPixels(pixels);
  MemoryOutput output;
  EXPECT_TRUE(loader.Write(output, data, nullptr));
  EXPECT_EQ(lum::TEXTURE_FORMAT_A8B8G8R8, data.format);
  EXPECT_TRUE(std::equal(record.pixels.begin(), record.pixels.end(), data.imageData->pixels));
}

TEST(JngWrite, FailsWhenTheStreamTakesOnlyPartOfTheFile) {
  for (bool alphaAsJpeg : {false, true}) {
    RecordPixels record = PatternRecord(lum::TEXTURE_FORMAT_A8B8G8R8, 9, 9);
    lum::LImageSaveOptions options = Options(alphaAsJpeg, true);
    bool written = false;
    Bytes whole = WriteWith(loader, record, &options, &written);
    ASSERT_TRUE(written);
    std::vector<ParsedChunk> chunks = ParseChunks(whole);
    // A cut inside every chunk, and inside the signature.
    std::vector<size_t> limits = {0, 5};
    size_t at = 8;
    for (const ParsedChunk& chunk : chunks) {
      limits.push_back(at + 6 + chunk.data.size() / 2);
      at += 12 + chunk.data.size();
    }
    limits.push_back(whole.size() - 1);
    for (size_t limit : limits) {
      WriteWith(loader, record, &options, &written, limit);
      EXPECT_FALSE(written) << "limit " << limit << " of " << whole.size();
    }
  }
}

TEST(JngWrite, NothingWithoutPixels) {
  std::unique_ptr<ScopedTestServices> services(new ScopedTestServices);
  lum::LData_Image empty;
  empty.format = lum::TEXTURE_FORMAT_L8;
  MemoryOutput output;
  EXPECT_FALSE(loader.Write(output, empty, nullptr));
  empty.SetImageData(new lum::LData_ImagePart(2, 2));
  EXPECT_FALSE(loader.Write(output, empty, nullptr));
  EXPECT_TRUE(output.Written().empty());
}
