// The exporter's write: every layout it takes becomes a JNG file that the
// importer reads back, and a write that fails leaves the file it would have
// replaced as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ScratchFolder.h"
#include "SmallDisk.h"
#include "JNGExporter.h"
#include "JNGImporter.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/Utils/UScopedObject.h"

namespace fs = std::filesystem;
using namespace quarn::platform_maya;

namespace {

const int kWidth = 24, kHeight = 16;

// Smooth ramps, so that the JPEG colour stays close; alpha is kept exactly.
int Red(int x, int) { return x * 10; }
int Green(int, int y) { return 40 + y * 12; }
int Blue(int x, int y) { return 200 - x * 3 - y * 2; }
int Alpha(int x, int y) { return (x * 7 + y * 5) & 0xFF; }

// The image in a layout; 16-bit words carry each 8-bit value times 257
// plus a little, which the exporter's division by 257 drops again.
kor::UArray<unsigned char> Pixels(int layout, int width, int height) {
  kor::UArray<unsigned char> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int values[4] = {Red(x, y), Green(x, y), Blue(x, y), Alpha(x, y)};
      if (layout == IMAGE_LAYOUT_GREY8) {
        pixels.Add(static_cast<unsigned char>(values[1]));
      } else if (layout == IMAGE_LAYOUT_RGBA16) {
        for (int value : values) {
          int word = value * 257 + (value < 255 ? 200 : 0);
          pixels.Add(static_cast<unsigned char>(word & 0xFF));
          pixels.Add(static_cast<unsigned char>(word >> 8));
        }
      } else {
        for (int c = 0; c < 4; ++c)
          pixels.Add(static_cast<unsigned char>(layout == IMAGE_LAYOUT_RGBX8 && c == 3 ? 0x5A : values[c]));
      }
    }
  return pixels;
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class JngExporterTest : public ScratchFolderTest {
 protected:
  // The exporter's destructor may raise; a test fixture's may not.
  ~JngExporterTest() noexcept override {}
  ModuleResult Export(int layout, const fs::path& path, int width = kWidth, int height = kHeight) {
    ImageInfo info;
    info.width = static_cast<uint16_t>(width);
    info.height = static_cast<uint16_t>(height);
    info.format = layout;
    return m_exporter.WriteFile(info, Pixels(layout, width, height), kor::UString(path.c_str()));
  }
  int Entries(const fs::path& directory) const {
    return static_cast<int>(std::distance(fs::directory_iterator(directory), fs::directory_iterator()));
  }

  JNGExporter m_exporter;
};

}  // namespace

TEST_F(JngExporterTest, EveryLayoutReadsBackThroughTheImporter) {
  struct Case {
    int layout, readLayout;
  } const cases[] = {{IMAGE_LAYOUT_RGBA8, IMAGE_LAYOUT_RGBA8},
                     {IMAGE_LAYOUT_RGBX8, IMAGE_LAYOUT_RGBX8},
                     {IMAGE_LAYOUT_RGBA16, IMAGE_LAYOUT_RGBA8},
                     {IMAGE_LAYOUT_GREY8, IMAGE_LAYOUT_GREY8}};
  for (const Case& test : cases) {
    SCOPED_TRACE(test.layout);
    fs::path file = m_dir / "out.jng";
    ASSERT_TRUE(Export(test.layout, file).Succeeded());
    kor::UScopedObject<kor::IInputStream> stream(
        kor::GetCoreServices()->GetFileSystem()->CreateFileReader(kor::UString(file.c_str())));
    ASSERT_NE(nullptr, stream.Get());
    JNGImporter importer;
    ImageInfo info;
    kor::UArray<unsigned char> pixels;
    ASSERT_TRUE(importer.Read(info, pixels, *stream.Get()).Succeeded());
    ASSERT_EQ(kWidth, info.width);
    ASSERT_EQ(kHeight, info.height);
    ASSERT_EQ(test.readLayout, info.format);
    const int channels = BytesPerLayoutPixel(info.format);
    ASSERT_EQ(kWidth * kHeight * channels, pixels.GetNum());
    long error = 0;
    int worst = 0;
    for (int y = 0, i = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x, i += channels) {
        if (channels == 1) {
          worst = std::max(worst, std::abs(pixels[i] - Green(x, y)));
          error += std::abs(pixels[i] - Green(x, y));
          continue;
        }
        const int values[3] = {Red(x, y), Green(x, y), Blue(x, y)};
        for (int c = 0; c < 3; ++c) {
          worst = std::max(worst, std::abs(pixels[i + c] - values[c]));
          error += std::abs(pixels[i + c] - values[c]);
        }
        if (info.format == IMAGE_LAYOUT_RGBA8) {
          ASSERT_EQ(Alpha(x, y), pixels[i + 3]) << x << "," << y;
        }
      }
    EXPECT_LE(worst, 8);
    EXPECT_LE(error, kWidth * kHeight * (channels == 1 ? 1 : 3));  // one level on average
  }
}

TEST_F(JngExporterTest, AFailedWriteKeepsTheFileThatWasThere) {
  fs::path file = m_dir / "kept.jng";
  std::ofstream(file, std::ios::binary) << "good";
  // Layouts the exporter does not take write nothing at all.
  for (int layout : {0, 5}) EXPECT_FALSE(Export(layout, file).Succeeded());
  EXPECT_FALSE(Export(IMAGE_LAYOUT_RGBA8, m_dir / "missing" / "folder.jng").Succeeded());
  EXPECT_EQ("good", Slurp(file));
  EXPECT_EQ(1, Entries(m_dir));

  // What the full disk below is asked to hold, given room.
  ASSERT_TRUE(Export(IMAGE_LAYOUT_RGBA8, m_dir / "big.jng", 1024, 512).Succeeded());
  ASSERT_GT(fs::file_size(m_dir / "big.jng"), 3u * 4096u);

  fs::path disk = m_dir / "disk";
  fs::create_directory(disk);
  SmallDisk small(disk.string());
  if (!small.IsMounted()) GTEST_SKIP() << SmallDisk::SkipReason();
  // No room at all (the bytes wait in a buffer until the close), or room
  // for a part of an image that needs several times as much.
  file = disk / "kept.jng";
  for (size_t room : {0, 4096}) {
    SCOPED_TRACE(room);
    fs::remove(disk / "filler");
    std::ofstream(file, std::ios::binary) << "good";
    ASSERT_TRUE(small.Fill(room));
    EXPECT_FALSE(Export(IMAGE_LAYOUT_RGBA8, file, 1024, 512).Succeeded());
    EXPECT_EQ("good", Slurp(file));
    EXPECT_EQ(2, Entries(disk));  // the filler and the kept file
  }
}
