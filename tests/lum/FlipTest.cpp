#include <gtest/gtest.h>

#include <vector>

#include "TestServices.h"
#include "lum/LData_Image.h"

using lum::LData_Image;
using lum::LData_ImagePart;
typedef std::vector<unsigned char> Bytes;

namespace {

void Fill(LData_Image& record, int format, int width, int height, const Bytes& pixels) {
  record.format = format;
  record.SetImageData(new LData_ImagePart(width, height));
  unsigned char* copy = new unsigned char[pixels.size() ? pixels.size() : 1];
  std::copy(pixels.begin(), pixels.end(), copy);
  record.imageData->SetPixels(copy);
}

Bytes PixelsOf(const LData_Image& record, size_t size) {
  return Bytes(record.imageData->pixels, record.imageData->pixels + size);
}

// Distinct bytes, so that any misplaced byte shows.
Bytes Numbered(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 1);
  return bytes;
}

// What flipping means, written the plain way: copy through a second image.
Bytes Flipped(const Bytes& source, int width, int height, int pixelSize, bool vertical) {
  Bytes result(source.size());
  size_t stride = static_cast<size_t>(width) * pixelSize;
  for (int row = 0; row < height; ++row)
    for (int column = 0; column < width; ++column)
      for (int byte = 0; byte < pixelSize; ++byte) {
        int fromRow = vertical ? height - 1 - row : row;
        int fromColumn = vertical ? column : width - 1 - column;
        result[row * stride + column * pixelSize + byte] =
            source[fromRow * stride + fromColumn * pixelSize + byte];
      }
  return result;
}

}  // namespace

TEST(Flip, MirrorsAndFlipsAThreeByTwoGreyImage) {
  LData_Image record;
  Fill(record, lum::TEXTURE_FORMAT_L8, 3, 2, {1, 2, 3, 4, 5, 6});
  EXPECT_TRUE(record.Flip(false));
  EXPECT_EQ((Bytes{3, 2, 1, 6, 5, 4}), PixelsOf(record, 6));
  Fill(record, lum::TEXTURE_FORMAT_L8, 3, 2, {1, 2, 3, 4, 5, 6});
  EXPECT_TRUE(record.Flip(true));
  EXPECT_EQ((Bytes{4, 5, 6, 1, 2, 3}), PixelsOf(record, 6));
}

TEST(Flip, MovesWholeFourBytePixels) {
  LData_Image record;
  Fill(record, lum::TEXTURE_FORMAT_A8B8G8R8, 3, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  EXPECT_TRUE(record.Flip(false));
  EXPECT_EQ((Bytes{9, 10, 11, 12, 5, 6, 7, 8, 1, 2, 3, 4}), PixelsOf(record, 12));
}

TEST(Flip, MatchesTheCopyingDefinitionForEveryByteFormatAndOddSizes) {
  ScopedTestServices services;
  const int formats[] = {lum::TEXTURE_FORMAT_A8,       lum::TEXTURE_FORMAT_L8,
                         lum::TEXTURE_FORMAT_X8B8G8R8, lum::TEXTURE_FORMAT_A8B8G8R8,
                         lum::TEXTURE_FORMAT_A8L8,     lum::TEXTURE_FORMAT_L16,
                         lum::TEXTURE_FORMAT_A16B16G16R16, lum::TEXTURE_FORMAT_A32B32G32R32F};
  const int sizes[][2] = {{1, 1}, {2, 3}, {3, 3}, {5, 4}, {7, 1}, {1, 7}, {0, 3}, {4, 0}};
  for (int format : formats)
    for (const auto& size : sizes)
      for (bool vertical : {true, false}) {
        int pixelSize = LData_Image::BytesPerPixel(format);
        Bytes source = Numbered(static_cast<size_t>(size[0]) * size[1] * pixelSize);
        LData_Image record;
        Fill(record, format, size[0], size[1], source);
        ASSERT_TRUE(record.Flip(vertical));
        EXPECT_EQ(Flipped(source, size[0], size[1], pixelSize, vertical), PixelsOf(record, source.size()))
            << "format " << format << " size " << size[0] << "x" << size[1] << " vertical " << vertical;
        ASSERT_TRUE(record.Flip(vertical));
        EXPECT_EQ(source, PixelsOf(record, source.size()));
      }
  EXPECT_EQ(0, services.Pool().m_currentAllocations);
}

TEST(Flip, RefusesRecordsWithoutPixelsOrWholeBytePixels) {
  LData_Image record;
  record.format = lum::TEXTURE_FORMAT_L8;
  EXPECT_FALSE(record.Flip(true));
  record.SetImageData(new LData_ImagePart(2, 2));
  EXPECT_FALSE(record.Flip(false));

  for (int format : {static_cast<int>(lum::TEXTURE_FORMAT_BLOCK_RGB), static_cast<int>(lum::TEXTURE_FORMAT_NONE), 99}) {
    Fill(record, format, 2, 1, {1, 2});
    EXPECT_FALSE(record.Flip(false)) << format;
    EXPECT_EQ((Bytes{1, 2}), PixelsOf(record, 2));
  }
  Fill(record, lum::TEXTURE_FORMAT_L8, -2, 1, {1, 2});
  EXPECT_FALSE(record.Flip(true));
}
