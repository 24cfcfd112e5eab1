// The GIF and Radiance loaders on the shared test data: every file is read
// without a message, matches the reference decode of the files' own project
// on what both decoders define, and its cut and damaged copies are refused
// or decoded without reading or writing outside a buffer.
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>

#include "GifHdrTestSupport.h"
#include "lum/Image/LLoader_Image_GIF.h"
#include "lum/Image/LLoader_Image_HDR.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> FilesUnder(const std::string& folder, const std::string& extension) {
  std::vector<fs::path> files;
  fs::path root = TestDataPath(folder);
  if (!fs::is_directory(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file() && entry.path().extension() == extension) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string Relative(const fs::path& file) { return fs::relative(file, TestDataPath("")).string(); }

// image-rs keeps its decode of images/<path> as reference/<path>.png (.tiff).
fs::path ReferenceOf(const fs::path& file, const char* extension) {
  std::string relative = Relative(file);
  const std::string images = "image-rs/images/";
  if (relative.compare(0, images.size(), images) != 0) return {};
  return TestDataPath("image-rs/reference/" + relative.substr(images.size()) + extension);
}

struct RgbaImage {
  int width = 0;
  int height = 0;
  Bytes rgba;
};

bool ReadPng(const fs::path& path, RgbaImage& image) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
  png.format = PNG_FORMAT_RGBA;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.rgba.resize(PNG_IMAGE_SIZE(png));
  return png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr) != 0;
}

struct FloatImage {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<float> samples;
};

// 32-bit float samples, contiguous, any compression libtiff knows.
bool ReadFloatTiff(const fs::path& path, FloatImage& image) {
  TIFFSetWarningHandler(nullptr);
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (tiff == nullptr) return false;
  uint32_t width = 0, height = 0;
  uint16_t channels = 0, bits = 0, format = 0, planar = PLANARCONFIG_CONTIG;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &channels);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  bool ok = bits == 32 && format == SAMPLEFORMAT_IEEEFP && planar == PLANARCONFIG_CONTIG && channels >= 3 &&
            TIFFScanlineSize(tiff) == static_cast<tmsize_t>(width) * channels * 4;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.channels = channels;
  image.samples.resize(static_cast<size_t>(width) * height * channels);
  for (uint32_t row = 0; ok && row < height; ++row)
    ok = TIFFReadScanline(tiff, &image.samples[static_cast<size_t>(row) * width * channels], row) >= 0;
  TIFFClose(tiff);
  return ok;
}

std::vector<fs::path> GifFiles() {
  std::vector<fs::path> files = FilesUnder("image-rs/images/gif", ".gif");
  for (const fs::path& file : FilesUnder("imagemagick/misc", ".gif")) files.push_back(file);
  return files;
}

}  // namespace

// Our pixels are filler, blue, green, red; the reference's RGBA: image-rs's
// decode where the file comes with one, stb_image's otherwise. Where the
// reference is transparent its colour says nothing (we do not interpret
// transparency), so only opaque pixels are compared.
TEST(GifFiles, EveryFileMatchesTheReferenceWhereItIsOpaque) {
  SKIP_WITHOUT_TESTDATA("image-rs/images/gif");
  std::vector<fs::path> files = GifFiles();
  ASSERT_FALSE(files.empty());
  lum::LLoader_Image_GIF loader;
  int compared = 0;
  for (const fs::path& file : files) {
    Decoded decoded = DecodeWith(loader, ReadFileBytes(file), "file.gif");
    ASSERT_TRUE(decoded.ok) << Relative(file);
    EXPECT_EQ("", decoded.messages);
    EXPECT_EQ(0, decoded.blocksLeft);
    RgbaImage reference;
    fs::path referencePath = ReferenceOf(file, ".png");
    if (referencePath.empty())
      ASSERT_TRUE(DecodeGifWithStb(ReadFileBytes(file), reference.width, reference.height, reference.rgba));
    else
      ASSERT_TRUE(ReadPng(referencePath, reference)) << referencePath;
    ASSERT_EQ(reference.width, decoded.width) << Relative(file);
    ASSERT_EQ(reference.height, decoded.height) << Relative(file);
    int differing = 0, opaque = 0;
    for (size_t i = 0; i < static_cast<size_t>(reference.width) * reference.height; ++i) {
      const unsigned char* want = &reference.rgba[4 * i];
      const unsigned char* got = &decoded.pixels[4 * i];
      if (want[3] != 255) continue;
      ++opaque;
      if (got[3] != want[0] || got[2] != want[1] || got[1] != want[2] || got[0] != 255) ++differing;
    }
    EXPECT_EQ(0, differing) << Relative(file) << " of " << opaque << " opaque pixels";
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

TEST(HdrFiles, EveryFileMatchesTheReference) {
  SKIP_WITHOUT_TESTDATA("image-rs/images/hdr");
  std::vector<fs::path> files = FilesUnder("image-rs/images/hdr", ".hdr");
  ASSERT_FALSE(files.empty());
  lum::LLoader_Image_HDR loader;
  for (const fs::path& file : files) {
    Decoded decoded = DecodeWith(loader, ReadFileBytes(file), "file.hdr");
    ASSERT_TRUE(decoded.ok) << Relative(file) << ": " << decoded.messages;
    EXPECT_EQ("", decoded.messages);
    EXPECT_EQ(0, decoded.blocksLeft);
    FloatImage reference;
    ASSERT_TRUE(ReadFloatTiff(ReferenceOf(file, ".tiff"), reference)) << Relative(file);
    ASSERT_EQ(reference.width, decoded.width) << Relative(file);
    ASSERT_EQ(reference.height, decoded.height) << Relative(file);
    std::vector<float> ours(decoded.pixels.size() / 4);
    std::memcpy(ours.data(), decoded.pixels.data(), decoded.pixels.size());
    int differing = 0;
    for (size_t i = 0; i < static_cast<size_t>(reference.width) * reference.height; ++i) {
      const float* want = &reference.samples[i * reference.channels];
      const float* got = &ours[4 * i];
      if (got[0] != 1.0f || got[1] != want[2] || got[2] != want[1] || got[3] != want[0]) ++differing;
    }
    EXPECT_EQ(0, differing) << Relative(file);
  }
}

TEST(GifHdrFiles, CutAndDamagedCopiesAreReadOrRefusedSafely) {
  SKIP_WITHOUT_TESTDATA("image-rs/images/hdr");
  lum::LLoader_Image_GIF gif;
  for (const fs::path& file : GifFiles()) ReadDamagedCopies(gif, ReadFileBytes(file), Relative(file));
  // The small Radiance files: flat, old form and new form scanlines.
  lum::LLoader_Image_HDR hdr;
  for (const char* name : {"image-rs/images/hdr/images/rgbr4x4.hdr", "image-rs/images/hdr/images/old-rle.hdr",
                           "image-rs/images/hdr/images/scale.hdr"})
    ReadDamagedCopies(hdr, ReadFileBytes(TestDataPath(name)), name);
}
