// The GIF and Radiance loaders on the shared test data: every file is read
// without a message and matches a reference decode on what both decoders
// define; cut and damaged copies are refused or decoded safely.
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>

#include "GifHdrTestSupport.h"
#include "lum/Image/LLoader_Image_GIF.h"
#include "lum/Image/LLoader_Image_HDR.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> FilesIn(std::initializer_list<const char*> folders, const char* extension) {
  std::vector<fs::path> files;
  for (const char* folder : folders)
    if (fs::is_directory(TestDataPath(folder)))
      for (const auto& entry : fs::recursive_directory_iterator(TestDataPath(folder)))
        if (entry.path().extension() == extension) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string Relative(const fs::path& file) { return fs::relative(file, TestDataPath("")).string(); }

// image-rs keeps its decode of images/<path> as reference/<path><extension>.
fs::path ReferenceOf(const fs::path& file, const char* extension) {
  std::string relative = Relative(file);
  if (relative.rfind("image-rs/images/", 0) != 0) return {};
  return TestDataPath("image-rs/reference/" + relative.substr(16) + extension);
}

bool ReadPngRgba(const fs::path& path, int& width, int& height, Bytes& rgba) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
  png.format = PNG_FORMAT_RGBA;
  width = int(png.width), height = int(png.height);
  rgba.resize(PNG_IMAGE_SIZE(png));
  return png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr) != 0;
}

// RGB(A) 32-bit float samples, contiguous.
bool ReadFloatTiff(const fs::path& path, int& width, int& height, int& channels, std::vector<float>& samples) {
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (tiff == nullptr) return false;
  uint32_t w = 0, h = 0;
  uint16_t c = 0, bits = 0, format = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &c);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
  bool ok = bits == 32 && format == SAMPLEFORMAT_IEEEFP && c >= 3 && TIFFScanlineSize(tiff) == tmsize_t(w) * c * 4;
  width = int(w), height = int(h), channels = c;
  samples.resize(size_t(w) * h * c);
  for (uint32_t row = 0; ok && row < h; ++row) ok = TIFFReadScanline(tiff, &samples[size_t(row) * w * c], row) >= 0;
  TIFFClose(tiff);
  return ok;
}

std::vector<fs::path> GifFiles() { return FilesIn({"image-rs/images/gif", "imagemagick/misc"}, ".gif"); }

}  // namespace

// The reference is image-rs's decode where the file comes with one,
// stb_image's otherwise. Where it is transparent its colour says nothing
// (transparency is not interpreted here), so opaque pixels are compared.
TEST(GifFiles, EveryFileMatchesTheReferenceWhereItIsOpaque) {
  SKIP_WITHOUT_TESTDATA("image-rs/images/gif");
  lum::LLoader_Image_GIF loader;
  for (const fs::path& file : GifFiles()) {
    Bytes bytes = ReadFileBytes(file);
    Decoded decoded = DecodeWith(loader, bytes, "file.gif");
    ASSERT_TRUE(decoded.ok) << Relative(file);
    EXPECT_EQ("", decoded.messages);
    EXPECT_EQ(0, decoded.blocksLeft);
    int width = 0, height = 0, differing = 0;
    Bytes rgba;
    fs::path reference = ReferenceOf(file, ".png");
    ASSERT_TRUE(reference.empty() ? DecodeGifWithStb(bytes, width, height, rgba)
                                  : ReadPngRgba(reference, width, height, rgba));
    ASSERT_EQ(width, decoded.width) << Relative(file);
    ASSERT_EQ(height, decoded.height) << Relative(file);
    for (size_t i = 0; i < size_t(width) * height; ++i) {
      const unsigned char *want = &rgba[4 * i], *got = &decoded.pixels[4 * i];
      differing += want[3] == 255 && (got[3] != want[0] || got[2] != want[1] || got[1] != want[2] || got[0] != 255);
    }
    EXPECT_EQ(0, differing) << Relative(file);
  }
}

// Ours: alpha 1, blue, green, red; the reference: red, green, blue.
TEST(HdrFiles, EveryFileMatchesTheReference) {
  SKIP_WITHOUT_TESTDATA("image-rs/images/hdr");
  lum::LLoader_Image_HDR loader;
  for (const fs::path& file : FilesIn({"image-rs/images/hdr"}, ".hdr")) {
    Decoded decoded = DecodeWith(loader, ReadFileBytes(file), "file.hdr");
    ASSERT_TRUE(decoded.ok) << Relative(file) << ": " << decoded.messages;
    EXPECT_EQ("", decoded.messages);
    EXPECT_EQ(0, decoded.blocksLeft);
    int width = 0, height = 0, channels = 0, differing = 0;
    std::vector<float> want;
    ASSERT_TRUE(ReadFloatTiff(ReferenceOf(file, ".tiff"), width, height, channels, want)) << Relative(file);
    ASSERT_EQ(width, decoded.width) << Relative(file);
    ASSERT_EQ(height, decoded.height) << Relative(file);
    std::vector<float> got(decoded.pixels.size() / 4);
    std::memcpy(got.data(), decoded.pixels.data(), decoded.pixels.size());
    for (size_t i = 0; i < size_t(width) * height; ++i) {
      const float *w = &want[i * channels], *g = &got[4 * i];
      differing += g[0] != 1.0f || g[1] != w[2] || g[2] != w[1] || g[3] != w[0];
    }
    EXPECT_EQ(0, differing) << Relative(file);
  }
}

TEST(GifHdrFiles, CutAndDamagedCopiesAreReadOrRefusedSafely) {
  SKIP_WITHOUT_TESTDATA("image-rs/images/hdr");
  lum::LLoader_Image_GIF gif;
  for (const fs::path& file : GifFiles()) ReadDamagedCopies(gif, ReadFileBytes(file), Relative(file));
  // Flat, old-form and new-form scanlines.
  lum::LLoader_Image_HDR hdr;
  for (const char* name : {"rgbr4x4.hdr", "old-rle.hdr", "scale.hdr", "image1.hdr"})
    ReadDamagedCopies(hdr, ReadFileBytes(TestDataPath(std::string("image-rs/images/hdr/images/") + name)), name);
}
