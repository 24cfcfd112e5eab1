// The importer's conversion of every record format into the translator's
// layouts, and what the host then gets, through the layout or straight
// from the record: an image without alpha is opaque at every depth.
#include <gtest/gtest.h>
#include <maya/MImage.h>
#include <maya/MImageFileInfo.h>
#include <mayastandin/Host.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "JNGImporter.h"
#include "TestServices.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"
#include "kor/CoreServices/Interfaces/IFileSystem.h"
#include "kor/Utils/UMemory.h"
#include "lum/LData_Image.h"
#include "quarn/Platform/Maya/HPluginModule_ImageTranslator.h"

namespace {

using namespace quarn::platform_maya;
typedef std::vector<unsigned char> Bytes;

struct Conversion {
  int format;
  int layout;
  Bytes record;  // two pixels in the record's format
  Bytes buffer;  // what the importer hands the translator
  Bytes host;    // blue, green, red, alpha of the two pixels
};

const Conversion CONVERSIONS[] = {
    {lum::TEXTURE_FORMAT_A8B8G8R8, IMAGE_LAYOUT_RGBA8, {1, 2, 3, 4, 5, 6, 7, 8}, {4, 3, 2, 1, 8, 7, 6, 5},
     {2, 3, 4, 1, 6, 7, 8, 5}},
    {lum::TEXTURE_FORMAT_X8B8G8R8, IMAGE_LAYOUT_RGBX8, {1, 2, 3, 4, 5, 6, 7, 8}, {4, 3, 2, 0, 8, 7, 6, 0},
     {2, 3, 4, 255, 6, 7, 8, 255}},
    {lum::TEXTURE_FORMAT_A16B16G16R16, IMAGE_LAYOUT_RGBA16,
     {0x01, 0x01, 0x02, 0x02, 0x03, 0x03, 0x04, 0x04, 0xFF, 0xFF, 0, 0, 0x01, 0x01, 0xFF, 0xFF},
     {0x04, 0x04, 0x03, 0x03, 0x02, 0x02, 0x01, 0x01, 0xFF, 0xFF, 0x01, 0x01, 0, 0, 0xFF, 0xFF},
     {2, 3, 4, 1, 0, 1, 255, 255}},
    // Grey without alpha: dark pixels stay opaque.
    {lum::TEXTURE_FORMAT_L16, IMAGE_LAYOUT_RGBA16, {0x02, 0x02, 0xFF, 0xFF},
     {0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
     {2, 2, 2, 255, 255, 255, 255, 255}},
    {lum::TEXTURE_FORMAT_A8L8, IMAGE_LAYOUT_RGBA8, {9, 200, 255, 0}, {200, 200, 200, 9, 0, 0, 0, 255},
     {200, 200, 200, 9, 0, 0, 0, 255}},
    {lum::TEXTURE_FORMAT_L8, IMAGE_LAYOUT_GREY8, {0, 77}, {0, 77}, {0, 0, 0, 255, 77, 77, 77, 255}},
    {lum::TEXTURE_FORMAT_A8, IMAGE_LAYOUT_GREY8, {0, 77}, {0, 77}, {0, 0, 0, 255, 77, 77, 77, 255}},
};

void FillRecord(lum::LData_Image& data, int format, const Bytes& pixels, int width = 2, int height = 1) {
  data.dimension = lum::TEXTURE_DIMENSION_2D;
  data.format = format;
  data.SetImageData(new lum::LData_ImagePart(width, height));
  unsigned char* copy = new unsigned char[pixels.size()];
  std::copy(pixels.begin(), pixels.end(), copy);
  data.imageData->SetPixels(copy);
}

}  // namespace

TEST(ImporterConversions, EveryFormatReachesTheHostInItsLayout) {
  ScopedTestServices services;
  for (const Conversion& c : CONVERSIONS) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(c.layout, LayoutOfFormat(c.format));
    kor::UArray<unsigned char> buffer;
    {
      lum::LData_Image data;
      FillRecord(data, c.format, c.record);
      ASSERT_TRUE(ConvertRecordPixels(data, buffer));
    }
    ASSERT_EQ(c.buffer.size(), size_t(buffer.GetNum()));
    EXPECT_EQ(c.buffer, Bytes(buffer.GetData(), buffer.GetData() + buffer.GetNum()));
    ImageInfo info;
    info.width = 2;
    info.height = 1;
    info.format = c.layout;
    Bytes host(8);
    ConvertToHostPixels(info, buffer.GetData(), host.data());
    EXPECT_EQ(c.host, host);
  }
}

// The host's load path skips the layout buffer: each pixel reaches the host
// as it does through the layout, and the rows are turned over on the way.
TEST(ImporterConversions, RecordsReachTheHostDirectlyAsThroughTheirLayout) {
  ScopedTestServices services;
  for (const Conversion& c : CONVERSIONS) {
    SCOPED_TRACE(c.format);
    lum::LData_Image row;
    FillRecord(row, c.format, c.record);
    Bytes host(8);
    ASSERT_TRUE(ConvertRecordToHostPixels(row, host.data()));
    EXPECT_EQ(c.host, host);

    lum::LData_Image column;
    FillRecord(column, c.format, c.record, 1, 2);
    ASSERT_TRUE(ConvertRecordToHostPixels(column, host.data()));
    EXPECT_EQ(Bytes(c.host.begin() + 4, c.host.end()), Bytes(host.begin(), host.begin() + 4));
    EXPECT_EQ(Bytes(c.host.begin(), c.host.begin() + 4), Bytes(host.begin() + 4, host.end()));

    // An image large enough to be shared between two threads, of an odd
    // height, every pixel different.
    const int width = 1024, height = 1025;
    const size_t pixelBytes = c.record.size() / 2;
    Bytes pixels;
    for (int i = 0; i < width * height; ++i)
      for (size_t b = 0; b < pixelBytes; ++b) pixels.push_back(static_cast<unsigned char>(c.record[b] + 7 * i + (i >> 8)));
    lum::LData_Image large;
    FillRecord(large, c.format, pixels, width, height);
    kor::UArray<unsigned char> buffer;
    ASSERT_TRUE(ConvertRecordPixels(large, buffer));
    ImageInfo info = {width, height, c.layout};
    Bytes throughTheLayout(size_t(width) * height * 4);
    ConvertToHostPixels(info, buffer.GetData(), throughTheLayout.data());
    Bytes direct(throughTheLayout.size());
    ASSERT_TRUE(ConvertRecordToHostPixels(large, direct.data()));
    EXPECT_EQ(throughTheLayout, direct);
  }
}

TEST(ImporterConversions, FormatsWithoutALayoutAreRefused) {
  ScopedTestServices services;
  for (int format = 0; format <= lum::TEXTURE_FORMAT_NONE; ++format) {
    bool listed = false;
    for (const Conversion& c : CONVERSIONS) listed = listed || c.format == format;
    if (listed) continue;
    EXPECT_EQ(IMAGE_LAYOUT_NONE, LayoutOfFormat(format)) << format;
    lum::LData_Image data;
    FillRecord(data, format, Bytes(64));
    kor::UArray<unsigned char> buffer;
    EXPECT_FALSE(ConvertRecordPixels(data, buffer)) << format;
    Bytes host(8, 1);
    EXPECT_FALSE(ConvertRecordToHostPixels(data, host.data())) << format;
    EXPECT_EQ(Bytes(8, 1), host) << format;
  }
}

// What the host gets from the importer's Read and the translator's
// conversion of its buffer, the road other modules take.
Bytes HostPixelsThroughTheLayout(JNGImporter& importer, const std::string& path) {
  kor::IInputStream* stream =
      kor::GetCoreServices()->GetFileSystem()->CreateFileReader(kor::UBaseString<unsigned char>(path.c_str()));
  if (stream == nullptr) return Bytes();
  ImageInfo info = {0, 0, IMAGE_LAYOUT_NONE};
  kor::UArray<unsigned char> buffer;
  bool read = importer.Read(info, buffer, *stream).Succeeded();
  kor::DeleteObject(stream);
  if (!read) return Bytes();
  Bytes host(size_t(info.width) * info.height * 4);
  ConvertToHostPixels(info, buffer.GetData(), host.data());
  return host;
}

// The host's load takes the importer's one pass from the record: the same
// pixels as through the layout buffer, for every kind of JNG; a host image
// the host refuses fails the load.
TEST(ImporterConversions, LoadGivesTheHostWhatTheLayoutBufferGives) {
  const std::filesystem::path folder = std::filesystem::path(LUM_TESTDATA_DIR) / "imagemagick" / "jng";
  if (!std::filesystem::exists(folder)) GTEST_SKIP() << "test data not found at " << folder;
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  ASSERT_FALSE(paths.empty());
  ScopedTestServices services;
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    JNGImporter importer;
    MImageFileInfo info;
    ASSERT_TRUE(importer.open(path.c_str(), &info));
    MImage image;
    ASSERT_TRUE(importer.load(image, 0));
    mayastandin::ImageView view = mayastandin::view(image);
    ASSERT_EQ(4u, view.channels);
    const Bytes host(view.pixels, view.pixels + size_t(view.width) * view.height * 4);
    EXPECT_EQ(HostPixelsThroughTheLayout(importer, path), host);
  }
  JNGImporter importer;
  MImageFileInfo info;
  ASSERT_TRUE(importer.open(paths[0].c_str(), &info));
  ASSERT_TRUE(mayastandin::failNextCall("MImage::create", MStatus::kFailure));
  MImage image;
  EXPECT_FALSE(importer.load(image, 0));
  EXPECT_EQ(nullptr, image.pixels());
}
