// The TGA and BMP writers: what they put in the headers, that our readers
// and stb_image read their files back to the record's pixels, and that a
// stream which takes only part of the bytes makes the write fail.
#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#include <stb/stb_image.h>

#include <random>

#include "TgaBmpTestSupport.h"
#include "lum/Image/LLoader_Image_BMP.h"
#include "lum/Image/LLoader_Image_TGA.h"

namespace {

RecordPixels RandomRecord(int format, int width, int height) {
  std::mt19937 random(static_cast<unsigned>(format * 1000 + width));
  RecordPixels record{format, width, height, Bytes()};
  size_t size = size_t(width) * height * lum::LData_Image::BytesPerPixel(format);
  for (size_t i = 0; i < size; ++i) record.pixels.push_back(static_cast<unsigned char>(random()));
  return record;
}

// What a reader must give back: the colours, the alpha of formats that
// have one; fillers are 255.
Bytes ExpectedBack(const RecordPixels& record) {
  Bytes expected = record.pixels;
  if (record.format == lum::TEXTURE_FORMAT_X8B8G8R8)
    for (size_t at = 0; at < expected.size(); at += 4) expected[at] = 255;
  return expected;
}

// stb_image's decode as RGBA, compared on the channels it reports.
void ExpectStbReads(const Bytes& file, const RecordPixels& record) {
  int width = 0, height = 0, channels = 0;
  stbi_uc* decoded = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &width, &height, &channels, 4);
  ASSERT_NE(nullptr, decoded) << stbi_failure_reason();
  Bytes rgba(decoded, decoded + size_t(width) * height * 4);
  stbi_image_free(decoded);
  EXPECT_EQ(record.width, width);
  EXPECT_EQ(record.height, height);
  Bytes ours = RecordAsRgba(record.format, ExpectedBack(record));
  if (channels == 3 || channels == 1)
    for (size_t at = 3; at < ours.size(); at += 4) ours[at] = rgba[at] = 255;
  EXPECT_TRUE(ours == rgba);
}

lum::LImageSaveOptions Texts(const std::string& title, const std::string& comment) {
  lum::LImageSaveOptions options;
  options.title = title.c_str();
  options.comment = comment.c_str();
  return options;
}

}  // namespace

TEST(TgaWrite, HeadersByFormatAndTheTextsAsIdentification) {
  lum::LLoader_Image_TGA tga;
  lum::LImageSaveOptions options = Texts(std::string(300, 'x'), "");
  Bytes grey = WriteWith(tga, RecordPixels{lum::TEXTURE_FORMAT_L8, 2, 1, {7, 9}}, &options);
  ASSERT_EQ(18u + 255 + 2, grey.size());
  EXPECT_EQ(Bytes({255, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 8, 0x20}), Bytes(grey.begin(), grey.begin() + 18));
  EXPECT_EQ(Bytes(255, 'x'), Bytes(grey.begin() + 18, grey.begin() + 18 + 255));
  EXPECT_EQ(Bytes({7, 9}), Bytes(grey.end() - 2, grey.end()));

  Bytes wide = WriteWith(tga, RecordPixels{lum::TEXTURE_FORMAT_A8B8G8R8, 1, 1, {4, 1, 2, 3}}, nullptr);
  EXPECT_EQ(Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 32, 0x28, 1, 2, 3, 4}), wide);
  Bytes narrow = WriteWith(tga, RecordPixels{lum::TEXTURE_FORMAT_X8B8G8R8, 1, 1, {4, 1, 2, 3}}, nullptr);
  EXPECT_EQ(Bytes({24, 0x20, 1, 2, 3}), Bytes(narrow.begin() + 16, narrow.end()));
}

TEST(BmpWrite, HeadersByFormatAndTheTextsBeforeThePixels) {
  lum::LLoader_Image_BMP bmp;
  lum::LImageSaveOptions options = Texts("ab", "cd");
  Bytes narrow = WriteWith(bmp, RecordPixels{lum::TEXTURE_FORMAT_X8B8G8R8, 1, 2, {0, 1, 2, 3, 0, 4, 5, 6}}, &options);
  Bytes expected = {'B', 'M'};
  Append32(expected, 54 + 6 + 8);
  Append32(expected, 0);
  Append32(expected, 54 + 6);
  for (uint32_t field : {40u, 1u, uint32_t(-2)}) Append32(expected, field);
  Append16(expected, 1);
  Append16(expected, 24);
  for (uint32_t field : {0u, 8u, 0u, 0u, 0u, 0u}) Append32(expected, field);
  // Rows of one pixel take 4 bytes: three colours and one zero.
  expected = Concat({expected, {'a', 'b', 0, 'c', 'd', 0}, {1, 2, 3, 0, 4, 5, 6, 0}});
  EXPECT_EQ(expected, narrow);

  Bytes wide = WriteWith(bmp, RecordPixels{lum::TEXTURE_FORMAT_A8B8G8R8, 1, 1, {9, 1, 2, 3}}, nullptr);
  ASSERT_EQ(54u + 12 + 4, wide.size());
  EXPECT_EQ(66u, wide[10]);
  EXPECT_EQ(32u, wide[28]);
  EXPECT_EQ(3u, wide[30]);
  Bytes masks;
  for (uint32_t mask : {0xFF000000u, 0x00FF0000u, 0x0000FF00u}) Append32(masks, mask);
  EXPECT_EQ(masks, Bytes(wide.begin() + 54, wide.begin() + 66));
  EXPECT_EQ(Bytes({9, 1, 2, 3}), Bytes(wide.end() - 4, wide.end()));
}

TEST(TgaBmpWrite, FilesReadBackThroughOurReadersAndStbImage) {
  lum::LLoader_Image_TGA tga;
  lum::LLoader_Image_BMP bmp;
  lum::LImageSaveOptions options = Texts("title", "a comment");
  struct Case {
    lum::LLoader_Image* loader;
    int format;
  };
  for (const Case& c : {Case{&tga, lum::TEXTURE_FORMAT_A8B8G8R8}, Case{&tga, lum::TEXTURE_FORMAT_X8B8G8R8},
                        Case{&tga, lum::TEXTURE_FORMAT_L8}, Case{&tga, lum::TEXTURE_FORMAT_A8},
                        Case{&bmp, lum::TEXTURE_FORMAT_A8B8G8R8}, Case{&bmp, lum::TEXTURE_FORMAT_X8B8G8R8}}) {
    for (int width : {1, 3, 37}) {
      SCOPED_TRACE(std::to_string(c.format) + " " + std::to_string(width));
      RecordPixels record = RandomRecord(c.format, width, 5);
      bool written = false;
      Bytes file = WriteWith(*c.loader, record, &options, &written);
      ASSERT_TRUE(written);
      Decoded back = DecodeWith(*c.loader, file);
      ASSERT_TRUE(back.ok) << back.messages;
      int expectedFormat = c.format == lum::TEXTURE_FORMAT_A8 ? lum::TEXTURE_FORMAT_L8 : c.format;
      EXPECT_EQ(expectedFormat, back.format);
      EXPECT_EQ(record.width, back.width);
      EXPECT_EQ(record.height, back.height);
      EXPECT_TRUE(ExpectedBack(record) == back.pixels);
      // stb_image wants a bitmap's pixels right after its headers, where
      // the texts would be.
      ExpectStbReads(WriteWith(*c.loader, record, c.loader == &bmp ? nullptr : &options), record);
    }
  }
}

TEST(TgaBmpWrite, AStreamThatTakesOnlySomeBytesFailsTheWrite) {
  lum::LLoader_Image_TGA tga;
  lum::LLoader_Image_BMP bmp;
  lum::LImageSaveOptions options = Texts("t", "");
  for (lum::LLoader_Image* loader : {static_cast<lum::LLoader_Image*>(&tga), static_cast<lum::LLoader_Image*>(&bmp)}) {
    for (int format : {lum::TEXTURE_FORMAT_A8B8G8R8, lum::TEXTURE_FORMAT_X8B8G8R8}) {
      RecordPixels record = RandomRecord(format, 3, 2);
      size_t full = WriteWith(*loader, record, &options).size();
      for (size_t limit = 0; limit < full; ++limit) {
        bool written = true;
        WriteWith(*loader, record, &options, &written, limit);
        EXPECT_FALSE(written) << "limit " << limit;
      }
    }
  }
}

TEST(TgaBmpWrite, RecordsTheWritersCannotHoldAreRefused) {
  lum::LLoader_Image_TGA tga;
  lum::LLoader_Image_BMP bmp;
  bool written = true;
  WriteWith(tga, RecordPixels{lum::TEXTURE_FORMAT_L16, 1, 1, {0, 0}}, nullptr, &written);
  EXPECT_FALSE(written);
  WriteWith(tga, RandomRecord(lum::TEXTURE_FORMAT_L8, 65536, 1), nullptr, &written);
  EXPECT_FALSE(written);
  WriteWith(bmp, RecordPixels{lum::TEXTURE_FORMAT_L8, 1, 1, {0}}, nullptr, &written);
  EXPECT_FALSE(written);
  MemoryOutput output;
  lum::LData_Image empty;
  empty.format = lum::TEXTURE_FORMAT_A8B8G8R8;
  EXPECT_FALSE(tga.Write(output, empty, nullptr));
  EXPECT_FALSE(bmp.Write(output, empty, nullptr));
  EXPECT_TRUE(output.Written().empty());
  for (int format : {0, 1, 4, 5}) EXPECT_TRUE(tga.CanWrite(format));
  EXPECT_FALSE(bmp.CanWrite(lum::TEXTURE_FORMAT_L8));
}
