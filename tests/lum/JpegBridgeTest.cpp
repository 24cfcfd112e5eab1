// The JPEG bridge and the JPEG loader against libjpeg's own decoding and
// encoding.
#include "JpegTestSupport.h"
#include "lum/Image/LLoader_Image_JPG.h"
#include "lum/Image/LLoader_Image_JPG_Base.h"

using lum::LData_Image;
using lum::LLoader_Image_JPG_Base;

namespace {

class JpegBridge : public CodecTest {
 protected:
  bool Read(const Bytes& file, LData_Image& image) {
    TestStream stream(file, "test.jpg");
    return lum::LLoader_Image_JPG().Read(stream, image, nullptr);
  }
  std::string ReadError(const Bytes& file) {
    LData_Image image;
    try {
      Read(file, image);
    } catch (const kor::ErrorDescription& error) {
      return error.GetMessage();
    }
    return "no error";
  }
  // Our record in libjpeg's layout: grey and four-component bytes as they
  // are, 255 blue green red back to red green blue.
  static Bytes AsLibjpeg(const LData_Image& image) {
    const lum::LData_ImagePart& part = *image.imageData;
    size_t count = size_t(part.width) * part.height;
    if (image.format != lum::TEXTURE_FORMAT_X8B8G8R8)
      return Bytes(part.pixels, part.pixels + count * LData_Image::BytesPerPixel(image.format));
    Bytes rgb;
    for (size_t i = 0; i < count; ++i) {
      EXPECT_EQ(255, part.pixels[4 * i]) << "filler of pixel " << i;
      rgb.insert(rgb.end(), {part.pixels[4 * i + 3], part.pixels[4 * i + 2], part.pixels[4 * i + 1]});
    }
    return rgb;
  }
  void ExpectLikeLibjpeg(const Bytes& file, int expectedFormat, const std::string& what) {
    JpegPixels expected = LibjpegDecode(file);
    LData_Image image;
    ASSERT_TRUE(Read(file, image)) << what;
    EXPECT_EQ(expectedFormat, image.format) << what;
    ASSERT_EQ(expected.width, image.imageData->width) << what;
    ASSERT_EQ(expected.height, image.imageData->height) << what;
    EXPECT_TRUE(expected.pixels == AsLibjpeg(image)) << what;
    EXPECT_EQ("", sink.Text()) << what;
  }
  static const unsigned char* FrameHeader(const Bytes& file) {
    for (size_t i = 0; i + 9 < file.size(); ++i)
      if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2)) return &file[i];
    ADD_FAILURE() << "no frame header";
    return file.data();
  }
};

const char* const TESTDATA_JPEGS[] = {
    "image-rs/images/jpg/exif-xmp-metadata.jpg", "image-rs/images/jpg/iptc.jpg",
    "image-rs/images/jpg/portrait_2.jpg",        "image-rs/images/jpg/progressive/3.jpg",
    "image-rs/images/jpg/progressive/cat.jpg",   "image-rs/images/jpg/progressive/test.jpg",
    "imagemagick/misc/input.jpg",                "imagemagick/misc/input_plane.jpg"};

}  // namespace

TEST_F(JpegBridge, TestDataFilesDecodeAsLibjpegDecodesThem) {
  SKIP_WITHOUT_TESTDATA("image-rs/images/jpg");
  for (const char* name : TESTDATA_JPEGS) {
    Bytes file = ReadFileBytes(TestDataPath(name));
    int components = LibjpegDecode(file).components;
    ExpectLikeLibjpeg(file, components == 1 ? lum::TEXTURE_FORMAT_L8 : lum::TEXTURE_FORMAT_X8B8G8R8, name);
    LData_Image info;
    TestStream stream(file);
    ASSERT_TRUE(lum::LLoader_Image_JPG().ReadInfo(stream, info, nullptr));
    EXPECT_EQ(LibjpegDecode(file).width, info.imageData->width) << name;
    EXPECT_EQ(nullptr, info.imageData->pixels);
  }
}

TEST_F(JpegBridge, GreyColourAndFourComponentStreamsGetTheirFormats) {
  ExpectLikeLibjpeg(LibjpegEncode(Pattern(33, 17, 1), 33, 17, 1, JCS_GRAYSCALE, 90), lum::TEXTURE_FORMAT_L8, "grey");
  ExpectLikeLibjpeg(LibjpegEncode(Pattern(33, 17, 3), 33, 17, 3, JCS_RGB, 90), lum::TEXTURE_FORMAT_X8B8G8R8, "rgb");
  ExpectLikeLibjpeg(LibjpegEncode(Pattern(33, 17, 4), 33, 17, 4, JCS_CMYK, 90), lum::TEXTURE_FORMAT_A8B8G8R8,
                    "cmyk");
  // Samplings outside the common set, which TurboJPEG has no name for.
  ExpectLikeLibjpeg(LibjpegEncode(Pattern(37, 29, 3), 37, 29, 3, JCS_RGB, 90, Bytes(), {2, 1, 1, 2, 1, 1}),
                    lum::TEXTURE_FORMAT_X8B8G8R8, "rgb 2x1 1x2 1x1");
  ExpectLikeLibjpeg(LibjpegEncode(Pattern(37, 29, 3), 37, 29, 3, JCS_RGB, 90, Bytes(), {3, 1, 1, 1, 1, 1}),
                    lum::TEXTURE_FORMAT_X8B8G8R8, "rgb 3x1 1x1 1x1");
}

TEST_F(JpegBridge, TheRecordTakesTheStreamsSizeWhateverItHeldBefore) {
  LData_Image image;
  image.SetImageData(new lum::LData_ImagePart(500, 1));
  ASSERT_TRUE(Read(LibjpegEncode(Pattern(20, 10, 3), 20, 10, 3, JCS_RGB, 80), image));
  EXPECT_EQ(20, image.imageData->width);
  EXPECT_EQ(10, image.imageData->height);
}

TEST_F(JpegBridge, RowsThatTruncatedDataNeverDeliveredAreZero) {
  Bytes file = LibjpegEncode(Pattern(64, 64, 3), 64, 64, 3, JCS_RGB, 90);
  JpegPixels full = LibjpegDecode(file);
  file.resize(file.size() / 2);
  LData_Image image;
  ASSERT_TRUE(Read(file, image));
  Bytes rgb = AsLibjpeg(image);
  size_t row = 64 * 3;
  EXPECT_TRUE(std::equal(rgb.begin(), rgb.begin() + 8 * row, full.pixels.begin())) << "the rows that arrived";
  const unsigned char* last = image.imageData->pixels + 63 * 64 * 4;
  Bytes black;
  for (int x = 0; x < 64; ++x) black.insert(black.end(), {255, 0, 0, 0});
  EXPECT_EQ(black, Bytes(last, last + 64 * 4));
  EXPECT_EQ(Warning("File \"test.jpg\" is corrupt. Its JPEG data ends before the image does."), sink.Text());
}

// What libjpeg warns about is decoded as far as it goes, as libjpeg decodes
// it, and said; a stream in several scans that ends early shows what its
// scans hold instead of being refused.
TEST_F(JpegBridge, DamagedStreamsAreDecodedAsFarAsTheyGoWithAWarning) {
  Bytes baseline = LibjpegEncode(Pattern(64, 64, 3), 64, 64, 3, JCS_RGB, 90);
  Bytes marker = baseline;
  marker.insert(marker.end() - 200, {0xFF, 0xD3});  // a restart marker in a stream without restarts
  const char* const DAMAGED = "File \"test.jpg\" is corrupt. Its JPEG data is damaged.";
  const char* const SHORT = "File \"test.jpg\" is corrupt. Its JPEG data ends before the image does.";
  struct Case {
    const char* what;
    Bytes file;
    const char* warning;
    size_t intactBytes;  // of libjpeg's decode of the whole stream
  };
  JpegPixels whole = LibjpegDecode(baseline);
  std::vector<Case> cases = {{"marker inside the scan", marker, DAMAGED, 16 * 64 * 3},
                             {"no end of image", Bytes(baseline.begin(), baseline.end() - 2), SHORT, 32 * 64 * 3}};
  std::string progressive = TestDataPath("image-rs/images/jpg/progressive/test.jpg");
  if (std::filesystem::exists(progressive)) {
    Bytes file = ReadFileBytes(progressive);
    cases.push_back({"progressive, cut in a scan", Bytes(file.begin(), file.end() - 300), SHORT, 0});
  }
  for (const Case& c : cases) {
    LData_Image image;
    ASSERT_TRUE(Read(c.file, image)) << c.what;
    EXPECT_EQ(Warning(c.warning), sink.Text()) << c.what;
    sink.Clear();
    Bytes rgb = AsLibjpeg(image);
    EXPECT_TRUE(std::equal(whole.pixels.begin(), whole.pixels.begin() + c.intactBytes, rgb.begin())) << c.what;
  }
}

// Every 8 x 8 block of a scan costs at least one bit: a stream claiming more
// blocks than its bytes can code is refused before anything is allocated
// for its size, while a large image that compresses well still decodes.
TEST_F(JpegBridge, ASizeTheDataCannotHoldIsRefusedAtOnce) {
  Bytes huge = LibjpegEncode(Pattern(8, 8, 1), 8, 8, 1, JCS_GRAYSCALE, 90);
  unsigned char* frame = const_cast<unsigned char*>(FrameHeader(huge));
  frame[5] = frame[7] = 0x75;  // 30000 x 30000
  frame[6] = frame[8] = 0x30;
  EXPECT_EQ("Error during JPEG decompression", ReadError(huge));
  LData_Image info;
  TestStream stream(huge);
  EXPECT_THROW(lum::LLoader_Image_JPG().ReadInfo(stream, info, nullptr), kor::ErrorDescription);

  Bytes flat(2048 * 2048, 128);
  Bytes large = LibjpegEncode(flat, 2048, 2048, 1, JCS_GRAYSCALE, 50);
  ASSERT_LT(large.size(), 65536u);  // less than a byte a block
  LData_Image image;
  ASSERT_TRUE(Read(large, image));
  EXPECT_EQ(2048, image.imageData->width);
}

TEST_F(JpegBridge, StreamsLibjpegCannotDecodeRaiseTheBridgesError) {
  // Two components: no colour space to convert them to.
  EXPECT_EQ("Error during JPEG decompression", ReadError(LibjpegEncode(Pattern(8, 8, 2), 8, 8, 2, JCS_UNKNOWN, 90)));
  // A marker claiming more bytes than the file holds: the skip must stop at
  // the end of the buffer.
  EXPECT_EQ("Error during JPEG decompression", ReadError({0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 'E', 'x'}));
  EXPECT_EQ("Error during JPEG decompression", ReadError({0xFF, 0xD8, 0xFF}));
  Bytes bad = LibjpegEncode(Pattern(8, 8, 3), 8, 8, 3, JCS_RGB, 90);
  bad[1] = 0x00;  // no start-of-image marker
  EXPECT_EQ("Error during JPEG decompression", ReadError(bad));
}

// The bridge reads plain headers itself; whatever the library refuses in a
// header is refused as the library refuses it, by ReadInfo as by Read.
TEST_F(JpegBridge, HeadersTheLibraryRefusesAreRefusedByReadInfoAndRead) {
  const Bytes grey = LibjpegEncode(Pattern(16, 16, 1), 16, 16, 1, JCS_GRAYSCALE, 90);
  const Bytes colour = LibjpegEncode(Pattern(16, 16, 3), 16, 16, 3, JCS_RGB, 90);
  auto at = [](const Bytes& file, unsigned char marker) {
    for (size_t i = 2; i + 1 < file.size(); ++i)
      if (file[i] == 0xFF && file[i + 1] == marker) return i;
    ADD_FAILURE() << "no marker " << int(marker);
    return size_t(0);
  };
  auto changed = [&](const Bytes& file, unsigned char marker, size_t offset, unsigned char value) {
    Bytes result = file;
    result[at(file, marker) + offset] = value;
    return result;
  };
  auto inserted = [&](const Bytes& file, unsigned char before, const Bytes& bytes) {
    Bytes result = file;
    result.insert(result.begin() + static_cast<std::ptrdiff_t>(at(file, before)), bytes.begin(), bytes.end());
    return result;
  };
  Bytes longFrame = changed(grey, 0xC0, 3, static_cast<unsigned char>(grey[at(grey, 0xC0) + 3] + 1));
  longFrame.insert(longFrame.begin() + static_cast<std::ptrdiff_t>(at(longFrame, 0xC0) + 13), 0);
  const struct {
    const char* what;
    Bytes file;
  } refused[] = {
      {"a Huffman table in slot 5", changed(grey, 0xC4, 4, 0x05)},
      {"a Huffman table of an unknown class", changed(grey, 0xC4, 4, 0x20)},
      {"a quantisation table in slot 4", changed(grey, 0xDB, 4, 0x04)},
      {"12-bit samples", changed(grey, 0xC0, 4, 12)},
      {"a lossless frame", changed(grey, 0xC0, 1, 0xC3)},
      {"a frame header longer than its components", longFrame},
      {"a scan of a component the frame lacks", changed(grey, 0xDA, 5, 0x09)},
      {"a scan of one component twice", changed(changed(colour, 0xDA, 4, 2), 0xDA, 7,
                                                 colour[at(colour, 0xDA) + 5])},
      {"a restart interval three bytes long", inserted(grey, 0xDA, {0xFF, 0xDD, 0x00, 0x05, 0x00, 0x00, 0x00})},
      {"an unknown marker", inserted(grey, 0xDA, {0xFF, 0x02, 0x00, 0x02})},
  };
  for (const auto& r : refused) {
    EXPECT_EQ("Error during JPEG decompression", ReadError(r.file)) << r.what;
    LData_Image info;
    TestStream stream(r.file, "test.jpg");
    EXPECT_THROW(lum::LLoader_Image_JPG().ReadInfo(stream, info, nullptr), kor::ErrorDescription) << r.what;
  }
  // What the library reads with no more than a trace decodes as it does.
  ExpectLikeLibjpeg(inserted(grey, 0xDA, {0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x04, 'h', 'i'}), lum::TEXTURE_FORMAT_L8,
                    "fill bytes and a comment");
  ExpectLikeLibjpeg(inserted(colour, 0xDA, {0xFF, 0xDD, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xE5, 0x00, 0x02}),
                    lum::TEXTURE_FORMAT_X8B8G8R8, "no restart interval and an empty APP5");
}

// The library's handles outlive a read: whatever a stream did to the one
// it was decoded with, the next stream decodes as if it came first.
TEST_F(JpegBridge, EveryStreamDecodesAsIfItCameFirst) {
  Bytes colour = LibjpegEncode(Pattern(64, 64, 3), 64, 64, 3, JCS_RGB, 90);
  Bytes grey = LibjpegEncode(Pattern(24, 16, 1), 24, 16, 1, JCS_GRAYSCALE, 90);
  Bytes damaged = colour;
  damaged.insert(damaged.end() - 200, {0xFF, 0xD3});  // a restart marker in a stream without restarts
  Bytes noStart = colour;
  noStart[1] = 0x00;
  Bytes cutInHeader(colour.begin(), colour.begin() + 100);
  // A Huffman table of more codes than it has bytes: the library stops in
  // the middle of the header.
  Bytes bogusTable = colour;
  for (size_t i = 2; i + 21 < bogusTable.size(); ++i)
    if (bogusTable[i] == 0xFF && bogusTable[i + 1] == 0xC4) {
      bogusTable[i + 20] = bogusTable[i + 21] = 0xFF;
      break;
    }
  const struct {
    const char* what;
    Bytes file;
  } before[] = {
      {"damaged", damaged},
      {"cut short", Bytes(colour.begin(), colour.end() - 300)},
      {"two components", LibjpegEncode(Pattern(8, 8, 2), 8, 8, 2, JCS_UNKNOWN, 90)},
      {"no start of image", noStart},
      {"cut in its header", cutInHeader},
      {"a bogus Huffman table", bogusTable},
  };
  for (const auto& b : before) {
    LData_Image image;
    try {
      Read(b.file, image);
    } catch (const kor::ErrorDescription&) {
    }
    try {
      TestStream stream(b.file, "test.jpg");
      lum::LLoader_Image_JPG().ReadInfo(stream, image, nullptr);
    } catch (const kor::ErrorDescription&) {
    }
    sink.Clear();
    ExpectLikeLibjpeg(colour, lum::TEXTURE_FORMAT_X8B8G8R8, std::string("colour after ") + b.what);
    ExpectLikeLibjpeg(grey, lum::TEXTURE_FORMAT_L8, std::string("grey after ") + b.what);
  }
}

TEST_F(JpegBridge, CanReadLooksAtThreeBytesAndLeavesTheStreamWhereItWas) {
  lum::LLoader_Image_JPG loader;
  Bytes file = {'x', 0xFF, 0xD8, 0xFF, 0xE0};
  TestStream stream(file);
  stream.SeekForward(1);
  EXPECT_TRUE(loader.CanRead(stream));
  EXPECT_EQ(1u, stream.GetPosition());
  Bytes wrong = {0xFF, 0xD8, 0x00};
  TestStream wrongStream(wrong);
  EXPECT_FALSE(loader.CanRead(wrongStream));
  stream.SeekForward(2);  // two bytes left
  EXPECT_FALSE(loader.CanRead(stream));
  EXPECT_EQ(3u, stream.GetPosition());
}

TEST_F(JpegBridge, TheLoaderClaimsTheEncodersFormatsButWritesNothing) {
  lum::LLoader_Image_JPG loader;
  for (int format = 0; format <= lum::TEXTURE_FORMAT_NONE; ++format)
    EXPECT_EQ(format == 1 || format == 4 || format == 5, loader.CanWrite(format)) << format;
}

TEST_F(JpegBridge, EncodingWritesWhatLibjpegWritesWithTheSameSettings) {
  const int width = 160, height = 120;
  Bytes rgb = Pattern(width, height, 3, 5);
  LData_Image colour;
  colour.format = lum::TEXTURE_FORMAT_X8B8G8R8;
  colour.SetImageData(new lum::LData_ImagePart(width, height));
  colour.imageData->SetPixels(new unsigned char[width * height * 4]);
  for (int i = 0; i < width * height; ++i) {
    unsigned char* pixel = colour.imageData->pixels + 4 * i;
    pixel[0] = 0;
    pixel[1] = rgb[3 * i + 2];
    pixel[2] = rgb[3 * i + 1];
    pixel[3] = rgb[3 * i];
  }
  lum::LImageSaveOptions options;
  kor::UArray<unsigned char> output;
  // Quality 100 makes the stream span several windows of the array.
  ASSERT_TRUE(LLoader_Image_JPG_Base::EncodeJpeg(colour, output, options));
  Bytes ours(output.GetData(), output.GetData() + output.GetNum());
  EXPECT_GT(ours.size(), 8192u);
  EXPECT_TRUE(LibjpegEncode(rgb, width, height, 3, JCS_RGB, 100) == ours);

  options.compression = 0.25f;
  options.author = "Me";
  ASSERT_TRUE(LLoader_Image_JPG_Base::EncodeJpeg(colour, output, options));
  Bytes comment = {'A', 'u', 't', 'h', 'o', 'r', 0, 'M', 'e', 0};
  EXPECT_TRUE(LibjpegEncode(rgb, width, height, 3, JCS_RGB, 75, comment) ==
              Bytes(output.GetData(), output.GetData() + output.GetNum()));

  // Grey records are coded from their own bytes.
  LData_Image grey;
  Bytes samples = Pattern(width, height, 1);
  ASSERT_TRUE(Read(LibjpegEncode(samples, width, height, 1, JCS_GRAYSCALE, 100), grey));
  ASSERT_TRUE(LLoader_Image_JPG_Base::EncodeJpeg(grey, output, lum::LImageSaveOptions()));
  JpegPixels again = LibjpegDecode(Bytes(output.GetData(), output.GetData() + output.GetNum()));
  EXPECT_EQ(1, again.components);
  EXPECT_EQ(width, again.width);
}

TEST_F(JpegBridge, CompressionErrorsRaiseTheBridgesErrorToo) {
  LData_Image grey;
  grey.format = lum::TEXTURE_FORMAT_L8;
  grey.SetImageData(new lum::LData_ImagePart(8, 8));
  grey.imageData->SetPixels(new unsigned char[64]());
  lum::LImageSaveOptions options;
  options.comment = std::string(70000, 'c').c_str();  // beyond what one marker holds
  kor::UArray<unsigned char> output;
  try {
    LLoader_Image_JPG_Base::EncodeJpeg(grey, output, options);
    ADD_FAILURE() << "no error";
  } catch (const kor::ErrorDescription& error) {
    EXPECT_STREQ("Error during JPEG decompression", error.GetMessage());
  }
}
