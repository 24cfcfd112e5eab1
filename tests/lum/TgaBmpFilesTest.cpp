// The TGA, BMP and icon readers on the files of the shared test data: each
// file is read or refused with its message; what is read matches the
// reference decode on the channels both define. Cut and damaged copies of
// a few files are read or refused, never read out of bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "TgaBmpTestSupport.h"
#include "lum/Image/LLoader_Image_BMP.h"
#include "lum/Image/LLoader_Image_ICO.h"
#include "lum/Image/LLoader_Image_TGA.h"

namespace fs = std::filesystem;

namespace {

std::string TestData() { return LUM_TESTDATA_DIR; }

#define SKIP_WITHOUT_TESTDATA()                                                          \
  if (!fs::is_directory(TestData())) GTEST_SKIP() << "no test data in " << TestData()

const std::string OS2 = "Can't handle file \"f\". Perhaps it is an unsupported OS/2 bitmap or just a corrupt one.";
const std::string BITMAP_DEPTH = "Can't handle file \"f\". This bitmap specifies an unsupported color depth";
const std::string ICON_DEPTH = "Can't handle file \"f\". This icon specifies an unsupported color depth";
const std::string DELTA = "file \"f uses an unsupported feature. Please send in the file to get full support";

// The files our readers refuse, with the message they give ("" for none).
const std::map<std::string, std::string> REFUSED = {
    {"cbw8.tga",
     "File \"f\" is a RLE encoded grayscale tga file, which is not supported yet. Please send in the file which "
     "caused this message to get full mind-blowing support of realistic RLE encoded grayscale 'TrueVision "
     "Graphics Adapter (TM)' files."},
    {"Core_1_Bit.bmp", OS2}, {"Core_4_Bit.bmp", OS2}, {"Core_8_Bit.bmp", OS2},
    {"pal8os2-hs.bmp", OS2}, {"pal8os2-sz.bmp", OS2}, {"pal8os2sp.bmp", OS2},
    {"pal2.bmp", BITMAP_DEPTH}, {"pal2color.bmp", BITMAP_DEPTH},
    {"rgb24rle24.bmp", ""},  // compression 4
    {"rgba32abf.bmp", ""},   // compression 6
    {"lenient-bpp.ico", BITMAP_DEPTH},
    {"png-32bpp-alpha.ico", ICON_DEPTH}, {"png_l8.ico", ICON_DEPTH}, {"png_rgb8.ico", ICON_DEPTH}};

// Files read with a message: their run-length data moves by delta escapes.
const std::map<std::string, std::string> READ_WITH_MESSAGE = {
    {"badrle.bmp", DELTA}, {"pal4rlecut.bmp", DELTA}, {"pal4rletrns.bmp", DELTA}};

// The reference decodes the largest image of the file; we read the first.
const char* const OTHER_IMAGE = "multiple_entries_with_different_bit_depth.ico";

struct Format {
  const char* extension;
  lum::LLoader_Image* loader;
};

std::vector<Format> Formats() {
  static lum::LLoader_Image_TGA tga;
  static lum::LLoader_Image_BMP bmp;
  static lum::LLoader_Image_ICO ico;
  return {{".tga", &tga}, {".bmp", &bmp}, {".ico", &ico}};
}

std::vector<fs::path> FilesOf(const std::string& extension) {
  std::vector<fs::path> files;
  for (const std::string& folder : {"image-rs/images/" + extension.substr(1), std::string("imagemagick/misc")}) {
    fs::path root = fs::path(TestData()) / folder;
    if (!fs::is_directory(root)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (entry.is_regular_file() && entry.path().extension() == extension) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

fs::path ReferenceOf(const fs::path& file) {
  fs::path relative = fs::relative(file, fs::path(TestData()) / "image-rs/images");
  fs::path reference = fs::path(TestData()) / "image-rs/reference" / relative;
  reference += ".png";
  return reference;
}

// Sources of fewer than 8 bits per channel (and bit fields wider than 8):
// the reference rounds where we truncate.
int ToleranceOf(const Bytes& file, const std::string& extension) {
  if (extension == ".tga" && file.size() >= 18) {
    unsigned bits = (file[2] == 1 || file[2] == 9) ? file[7] : file[16];
    return bits == 15 || bits == 16;
  }
  if (extension == ".bmp" && file.size() >= 34) return file[28] == 16 || file[30] == 3;
  return 0;
}

// Counts the pixels that differ on the channels both decodes define; the
// colour of a pixel transparent in both is not compared.
int CountDifferences(const Decoded& ours, const ReferenceImage& reference, int tolerance) {
  Bytes rgba = RecordAsRgba(ours.format, ours.pixels);
  const bool alpha = ours.format == lum::TEXTURE_FORMAT_A8B8G8R8 && reference.hasAlpha;
  int differing = 0;
  for (size_t at = 0; at < rgba.size(); at += 4) {
    bool same = !alpha || rgba[at + 3] == reference.rgba[at + 3];
    bool invisible = alpha && rgba[at + 3] == 0 && reference.rgba[at + 3] == 0;
    for (int c = 0; c < 3 && !invisible; ++c) same = same && std::abs(rgba[at + c] - reference.rgba[at + c]) <= tolerance;
    differing += !same;
  }
  return differing;
}

// A run-length bitmap of a few bytes may claim gigabytes of pixels, which
// it is legal to fill; damaged sizes like that only make the test slow.
bool ClaimsHugeBitmap(const Bytes& file) {
  if (file.size() < 26 || file[0] != 'B') return false;
  int64_t width = int32_t(file[18] | file[19] << 8 | file[20] << 16 | uint32_t(file[21]) << 24);
  int64_t height = int32_t(file[22] | file[23] << 8 | file[24] << 16 | uint32_t(file[25]) << 24);
  return std::abs(width * height) > (int64_t(1) << 20);
}

}  // namespace

TEST(TgaBmpFiles, EveryFileIsReadOrRefusedWithItsMessage) {
  SKIP_WITHOUT_TESTDATA();
  int files = 0;
  for (const Format& format : Formats()) {
    for (const fs::path& path : FilesOf(format.extension)) {
      SCOPED_TRACE(path.string());
      ++files;
      const std::string name = path.filename().string();
      Decoded ours = DecodeWith(*format.loader, ReadFile(path.string()), "f");
      auto refused = REFUSED.find(name);
      if (refused != REFUSED.end()) {
        EXPECT_FALSE(ours.ok);
        EXPECT_EQ(refused->second.empty() ? "" : Warning(refused->second), ours.messages);
        continue;
      }
      ASSERT_TRUE(ours.ok) << ours.messages;
      auto message = READ_WITH_MESSAGE.find(name);
      EXPECT_EQ(message == READ_WITH_MESSAGE.end() ? "" : Warning(message->second), ours.messages);
      EXPECT_EQ(size_t(ours.width) * ours.height * lum::LData_Image::BytesPerPixel(ours.format), ours.pixels.size());
    }
  }
  EXPECT_GE(files, 90);
}

TEST(TgaBmpFiles, PixelsMatchTheReferenceDecodesOnTheChannelsBothDefine) {
  SKIP_WITHOUT_TESTDATA();
  int compared = 0;
  for (const Format& format : Formats()) {
    for (const fs::path& path : FilesOf(format.extension)) {
      ReferenceImage reference;
      const std::string name = path.filename().string();
      if (REFUSED.count(name) || !ReadReferencePng(ReferenceOf(path).string(), reference)) continue;
      SCOPED_TRACE(path.string());
      Bytes file = ReadFile(path.string());
      Decoded ours = DecodeWith(*format.loader, file, "f");
      ASSERT_TRUE(ours.ok);
      if (name == OTHER_IMAGE) {
        EXPECT_EQ(32, ours.width);
        continue;
      }
      ASSERT_EQ(reference.width, ours.width);
      ASSERT_EQ(reference.height, ours.height);
      EXPECT_EQ(0, CountDifferences(ours, reference, ToleranceOf(file, format.extension)));
      ++compared;
    }
  }
  EXPECT_GE(compared, 60);
}

// A cut copy is refused or, when the bytes it lacks were not needed, gives
// the whole file's pixels; a refusal gives at most one message; nothing
// the read allocates outlives the record.
TEST(TgaBmpFiles, EveryPrefixIsRefusedOrGivesTheWholeFilesPixels) {
  SKIP_WITHOUT_TESTDATA();
  const std::vector<std::pair<std::string, size_t>> files = {
      {"tga/testsuite/cmap_offset.tga", 0}, {"tga/testsuite/b5-attrib.tga", 0},
      {"tga/testsuite/bottom_left.tga", 0}, {"bmp/images/Info_8_Bit.bmp", 1},
      {"bmp/images/V4_R5_G6_B5.bmp", 1},    {"bmp/images/pal4rle.bmp", 1},
      {"bmp/images/lenient/rle_overflow.bmp", 1}, {"ico/images/smile.ico", 2},
      {"ico/images/bmp-32bpp-alpha.ico", 2}};
  std::vector<Format> formats = Formats();
  ReadProbe probe;
  for (const auto& [relative, formatIndex] : files) {
    SCOPED_TRACE(relative);
    lum::LLoader_Image& loader = *formats[formatIndex].loader;
    Bytes file = ReadFile(TestData() + "/image-rs/images/" + relative);
    ReadProbe::Result whole = probe.Read(loader, file.data(), file.size());
    ASSERT_TRUE(whole.ok);
    for (size_t length = 0; length < file.size(); ++length) {
      Bytes cut(file.begin(), file.begin() + length);
      ReadProbe::Result result = probe.Read(loader, cut.data(), cut.size());
      if (result.ok) {
        EXPECT_EQ(whole.pixelHash, result.pixelHash) << "cut at " << length;
      } else {
        EXPECT_LE(result.messages, 1) << "cut at " << length;
      }
      ASSERT_EQ(0, result.blocksLeft);
    }
  }
}

TEST(TgaBmpFiles, DamagedBytesAreReadOrRefused) {
  SKIP_WITHOUT_TESTDATA();
  const std::vector<std::pair<std::string, size_t>> files = {
      {"tga/testsuite/cmap_offset.tga", 0}, {"tga/testsuite/ctc24.tga", 0}, {"bmp/images/pal8rle.bmp", 1},
      {"bmp/images/rgba32-61754.bmp", 1},   {"bmp/images/pal4rletrns.bmp", 1}, {"ico/images/smile.ico", 2}};
  std::vector<Format> formats = Formats();
  ReadProbe probe;
  for (const auto& [relative, formatIndex] : files) {
    SCOPED_TRACE(relative);
    Bytes file = ReadFile(TestData() + "/image-rs/images/" + relative);
    ASSERT_FALSE(file.empty());
    // Every header byte takes a few telling values; later bytes are
    // sampled with every bit inverted.
    for (size_t at = 0; at < file.size(); at += at < 160 ? 1 : 97) {
      for (unsigned value : {0x00u, 0x01u, 0x7Fu, 0x80u, 0xFFu, file[at] ^ 0xFFu}) {
        if (at >= 160 && value != (file[at] ^ 0xFFu)) continue;
        Bytes damaged = file;
        damaged[at] = static_cast<unsigned char>(value);
        if (ClaimsHugeBitmap(damaged)) continue;
        ReadProbe::Result result = probe.Read(*formats[formatIndex].loader, damaged.data(), damaged.size());
        if (!result.ok) {
          EXPECT_LE(result.messages, 1);
        }
        ASSERT_EQ(0, result.blocksLeft);
      }
    }
  }
}
