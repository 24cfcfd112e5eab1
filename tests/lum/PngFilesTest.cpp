// The PNG reader on the PNG files of the shared test data: every file
// decodes to the pixels libpng finds in it and, on the channels both
// define, to the reference decodes of the files' own project. Cut and
// damaged copies are refused or decoded, never read out of bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <zlib.h>

#include "PngTestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string TestData() { return LUM_TESTDATA_DIR; }

#define SKIP_WITHOUT_TESTDATA()                                                          \
  if (!fs::is_directory(TestData())) GTEST_SKIP() << "no test data in " << TestData()

std::vector<fs::path> PngFiles() {
  std::vector<fs::path> files;
  for (const char* folder : {"image-rs/images/png", "imagemagick/misc"}) {
    fs::path root = fs::path(TestData()) / folder;
    if (!fs::is_directory(root)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (entry.is_regular_file() && entry.path().extension() == ".png") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool HasChunk(const Bytes& file, const char* type) {
  for (size_t at = 8; at + 12 <= file.size();) {
    size_t length = (size_t(file[at]) << 24) | (file[at + 1] << 16) | (file[at + 2] << 8) | file[at + 3];
    if (std::memcmp(&file[at + 4], type, 4) == 0) return true;
    at += 12 + length;
  }
  return false;
}

typedef std::array<unsigned, 4> Rgba;  // 16-bit red, green, blue, alpha

unsigned Word(const unsigned char* bytes) {
  uint16_t word;
  std::memcpy(&word, bytes, 2);
  return word;
}

// Our record's pixels as 16-bit RGBA.
std::vector<Rgba> OursAsRgba(const Decoded& decoded) {
  std::vector<Rgba> pixels;
  int size = lum::LData_Image::BytesPerPixel(decoded.format);
  for (size_t at = 0; at + size <= decoded.pixels.size(); at += size) {
    const unsigned char* p = &decoded.pixels[at];
    switch (decoded.format) {
      case lum::TEXTURE_FORMAT_L8: pixels.push_back({p[0] * 257u, p[0] * 257u, p[0] * 257u, 65535}); break;
      case lum::TEXTURE_FORMAT_L16: pixels.push_back({Word(p), Word(p), Word(p), 65535}); break;
      case lum::TEXTURE_FORMAT_A8L8: pixels.push_back({p[1] * 257u, p[1] * 257u, p[1] * 257u, p[0] * 257u}); break;
      case lum::TEXTURE_FORMAT_X8B8G8R8:
      case lum::TEXTURE_FORMAT_A8B8G8R8:
        pixels.push_back({p[3] * 257u, p[2] * 257u, p[1] * 257u, p[0] * 257u});
        break;
      case lum::TEXTURE_FORMAT_A16B16G16R16:
        pixels.push_back({Word(p + 6), Word(p + 4), Word(p + 2), Word(p)});
        break;
    }
  }
  return pixels;
}

// A reference decode (grey, grey and alpha, RGB or RGBA) as 16-bit RGBA.
std::vector<Rgba> ReferenceAsRgba(const RawPng& image) {
  std::vector<Rgba> pixels;
  int channels = (image.colorType == 0 || image.colorType == 4) ? (image.colorType == 4 ? 2 : 1)
                 : image.colorType == 2                           ? 3
                                                                  : 4;
  int bytes = image.bitDepth / 8;
  for (const Bytes& row : image.rows)
    for (uint32_t x = 0; x < image.width; ++x) {
      unsigned s[4] = {0, 0, 0, 65535};
      for (int c = 0; c < channels; ++c) {
        const unsigned char* p = &row[(x * channels + c) * bytes];
        s[c] = bytes == 2 ? (p[0] << 8) | p[1] : p[0] * 257u;
      }
      if (channels <= 2) pixels.push_back({s[0], s[0], s[0], channels == 2 ? s[1] : 65535});
      else pixels.push_back({s[0], s[1], s[2], s[3]});
    }
  return pixels;
}

}  // namespace

TEST(PngFiles, EveryFileDecodesToThePixelsLibpngFinds) {
  SKIP_WITHOUT_TESTDATA();
  std::vector<fs::path> files = PngFiles();
  ASSERT_GE(files.size(), 20u);
  for (const fs::path& path : files) {
    SCOPED_TRACE(path.string());
    Bytes file = ReadFile(path.string());
    RawPng byLibpng;
    std::string error;
    ASSERT_TRUE(DecodeWithLibpng(file, byLibpng, &error)) << error;
    Decoded ours = DecodeOurs(file, "file.png");
    ASSERT_TRUE(ours.ok) << ours.messages;
    EXPECT_EQ("", ours.messages);
    EXPECT_EQ(ExpectedFormat(byLibpng.colorType, byLibpng.bitDepth), ours.format);
    EXPECT_EQ(static_cast<int>(byLibpng.width), ours.width);
    EXPECT_EQ(static_cast<int>(byLibpng.height), ours.height);
    EXPECT_TRUE(ExpectedPixels(byLibpng) == ours.pixels);
  }
}

TEST(PngFiles, PixelsMatchTheReferenceDecodesOnTheChannelsBothDefine) {
  SKIP_WITHOUT_TESTDATA();
  fs::path references = fs::path(TestData()) / "image-rs/reference/png";
  if (!fs::is_directory(references)) GTEST_SKIP() << "no reference decodes in " << references;
  int compared = 0;
  for (const auto& entry : fs::recursive_directory_iterator(references)) {
    if (!entry.is_regular_file()) continue;
    // <folder>/<file>.png.png is the reference of images/png/<folder>/<file>.png.
    fs::path relative = fs::relative(entry.path(), references);
    fs::path source = fs::path(TestData()) / "image-rs/images/png" / relative.parent_path() / relative.stem();
    if (!fs::exists(source)) continue;
    SCOPED_TRACE(source.string());
    Bytes file = ReadFile(source.string());
    RawPng reference;
    ASSERT_TRUE(DecodeWithLibpng(ReadFile(entry.path().string()), reference));
    Decoded ours = DecodeOurs(file, "file.png");
    ASSERT_TRUE(ours.ok);
    std::vector<Rgba> expected = ReferenceAsRgba(reference);
    std::vector<Rgba> actual = OursAsRgba(ours);
    ASSERT_EQ(expected.size(), actual.size());
    // Transparency chunks give the reference an alpha that our reader,
    // which ignores them, does not have.
    int channels = HasChunk(file, "tRNS") ? 3 : 4;
    size_t differing = 0;
    for (size_t i = 0; i < expected.size(); ++i)
      if (!std::equal(expected[i].begin(), expected[i].begin() + channels, actual[i].begin())) ++differing;
    EXPECT_EQ(0u, differing);
    ++compared;
  }
  EXPECT_GE(compared, 15);
}

namespace {

const char* const SMALL_FILES[] = {"image-rs/images/png/16bpc/basi0g16.png",
                                   "image-rs/images/png/16bpc/basn6a16.png",
                                   "image-rs/images/png/interlaced/basi2c08.png",
                                   "image-rs/images/png/transparency/tbbn3p08.png",
                                   "image-rs/images/png/transparency/tm3n3p02.png",
                                   "image-rs/images/png/bugfixes/issue#403.png",
                                   "imagemagick/misc/input_bw.png"};

// The IHDR CRC made right again after its data was changed, so that the
// change reaches the decoding.
void FixHeaderCrc(Bytes& file) {
  uLong crc = crc32(0, &file[12], 17);
  for (int i = 0; i < 4; ++i) file[29 + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
}

// A decode that succeeds must have produced the whole image.
// A refusal always says why.
void ExpectWholeImageOrRefusal(const Decoded& decoded) {
  if (!decoded.ok) {
    EXPECT_NE("", decoded.messages);
    return;
  }
  size_t size = static_cast<size_t>(decoded.width) * decoded.height * lum::LData_Image::BytesPerPixel(decoded.format);
  EXPECT_EQ(size, decoded.pixels.size());
}

}  // namespace

TEST(PngFiles, EveryPrefixIsRefusedWithAReason) {
  SKIP_WITHOUT_TESTDATA();
  for (const char* name : SMALL_FILES) {
    Bytes file = ReadFile(TestData() + "/" + name);
    ASSERT_FALSE(file.empty()) << name;
    for (size_t length = 0; length < file.size(); ++length) {
      Decoded decoded = DecodeOurs(Bytes(file.begin(), file.begin() + length));
      ASSERT_FALSE(decoded.ok) << name << " cut at " << length;
      ASSERT_NE("", decoded.messages) << name << " cut at " << length;
    }
  }
}

TEST(PngFiles, DamagedBytesAreRefusedOrDecoded) {
  SKIP_WITHOUT_TESTDATA();
  for (const char* name : SMALL_FILES) {
    Bytes file = ReadFile(TestData() + "/" + name);
    for (size_t at = 0; at < file.size(); ++at)
      for (unsigned char mask : {0x01, 0x80, 0xFF}) {
        Bytes damaged = file;
        damaged[at] ^= mask;
        if (at >= 16 && at < 29) FixHeaderCrc(damaged);
        SCOPED_TRACE(testing::Message() << name << " byte " << at << " ^ " << int(mask));
        ExpectWholeImageOrRefusal(DecodeOurs(damaged));
      }
  }
}
